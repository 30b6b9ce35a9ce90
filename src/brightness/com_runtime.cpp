#include "brightness/com_runtime.h"

#include <type_traits>

#include "platform/system_function.h"

ComRuntime g_comRuntime;

bool ComRuntime::Load()
{
    const auto take = [](auto& call, const wchar_t* library, const char* name) {
        if (call == nullptr) {
            call = SystemFunction<std::remove_reference_t<decltype(call)>>(library, name);
        }
        return call != nullptr;
    };
    constexpr wchar_t kCom[] = L"ole32.dll";
    constexpr wchar_t kAutomation[] = L"oleaut32.dll";
    return take(initializeEx, kCom, "CoInitializeEx") &&
           take(initializeSecurity, kCom, "CoInitializeSecurity") &&
           take(createInstance, kCom, "CoCreateInstance") &&
           take(setProxyBlanket, kCom, "CoSetProxyBlanket") && take(uninitialize, kCom, "CoUninitialize") &&
           take(allocString, kAutomation, "SysAllocString") &&
           take(freeString, kAutomation, "SysFreeString") && take(variantClear, kAutomation, "VariantClear");
}
