#include "platform/runtime_class.h"

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* runtimeClass = this; runtimeClass != nullptr;
         runtimeClass = runtimeClass->m_pBaseClass) {
        if (runtimeClass == base) {
            return true;
        }
    }
    return false;
}
