// Run-time class information: each class that declares it names itself and its base class, so that an
// object reached through a base pointer can be asked whether it is of a given class (IsKindOf).
#pragma once

struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;

    // True when this class is `base` or derives from it.
    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(className) (&className::class##className)

// In the class body, in a public section.
#define DECLARE_DYNAMIC(className)               \
    static const CRuntimeClass class##className; \
    const CRuntimeClass* GetRuntimeClass() const override;

// In the class's source file.
#define IMPLEMENT_DYNAMIC(className, baseClassName)                                               \
    const CRuntimeClass className::class##className = {#className, RUNTIME_CLASS(baseClassName)}; \
    const CRuntimeClass* className::GetRuntimeClass() const                                       \
    {                                                                                             \
        return RUNTIME_CLASS(className);                                                          \
    }
