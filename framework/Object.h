#pragma once

#include <memory>

class CObject;

// What a class knows about itself at run time: its name, its base, and how
// to make one without arguments (null when the class is not creatable).
struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
    std::unique_ptr<CObject> (*m_pfnCreateObject)();
    // For shared classes, whose objects delete themselves when their last
    // holder lets go: a second owner would delete them twice.
    CObject* (*m_pfnCreateShared)();

    // A new default-constructed object, or null for a class not creatable by
    // name and for a shared class.
    std::unique_ptr<CObject> CreateObject() const;
    // A new default-constructed object of a shared class, held by no one
    // yet; null for any other class.
    CObject* CreateSharedObject() const;
    // True when this class is `base` or derives from it.
    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

// Root of the framework's classes: every object can say what class it is.
class CObject {
public:
    static const CRuntimeClass classCObject;

    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    // Checks the object's invariants through the framework's assertion.
    virtual void AssertValid() const;

    bool IsKindOf(const CRuntimeClass* cls) const;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)               \
public:                                           \
    static const CRuntimeClass class##class_name; \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
    DECLARE_DYNAMIC(class_name)       \
    static std::unique_ptr<CObject> CreateObject();

#define VANTREL_IMPLEMENT_RUNTIMECLASS(class_name, base_name, create, createShared) \
    const CRuntimeClass class_name::class##class_name {                             \
#class_name, RUNTIME_CLASS(base_name), create, createShared                 \
    };                                                                              \
    const CRuntimeClass* class_name::GetRuntimeClass() const {                      \
        return RUNTIME_CLASS(class_name);                                           \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_name) \
    VANTREL_IMPLEMENT_RUNTIMECLASS(class_name, base_name, nullptr, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_name)        \
    std::unique_ptr<CObject> class_name::CreateObject() { \
        return std::make_unique<class_name>();            \
    }                                                     \
    VANTREL_IMPLEMENT_RUNTIMECLASS(class_name, base_name, &class_name::CreateObject, nullptr)

// A shared class is created by `make`, a function of the class's own that
// gives a new heap object no one holds yet.
#define DECLARE_DYNCREATE_SHARED(class_name) \
    DECLARE_DYNAMIC(class_name)              \
    static CObject* CreateObject();

#define IMPLEMENT_DYNCREATE_SHARED(class_name, base_name, make) \
    CObject* class_name::CreateObject() {                       \
        return make();                                          \
    }                                                           \
    VANTREL_IMPLEMENT_RUNTIMECLASS(class_name, base_name, nullptr, &class_name::CreateObject)
