// Root of the classes that carry run-time class information.
#pragma once

#include "platform/runtime_class.h"

class CObject {
public:
    static const CRuntimeClass classCObject;

    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    bool IsKindOf(const CRuntimeClass* runtimeClass) const;

protected:
    CObject() = default;
};
