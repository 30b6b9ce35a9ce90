// Not the driver, since it lacks nvapi_QueryInterface; tests install it under the driver's name.
extern "C" __declspec(dllexport) int standin_without_query_interface()
{
    return 0;
}
