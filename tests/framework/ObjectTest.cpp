#include <gtest/gtest.h>

#include <string_view>

#include "framework/Exception.h"
#include "framework/Object.h"

namespace {

class CShape : public CObject {
    DECLARE_DYNCREATE(CShape)
public:
    virtual std::string_view Kind() const { return "shape"; }
};
IMPLEMENT_DYNCREATE(CShape, CObject)

class CCircle : public CShape {
    DECLARE_DYNCREATE(CCircle)
public:
    std::string_view Kind() const override { return "circle"; }
};
IMPLEMENT_DYNCREATE(CCircle, CShape)

class CFixed : public CObject {
    DECLARE_DYNAMIC(CFixed)
public:
    explicit CFixed(int) {}
};
IMPLEMENT_DYNAMIC(CFixed, CObject)

class CTestException : public CException {
    DECLARE_DYNAMIC(CTestException)
public:
    explicit CTestException(bool* deleted) : m_deleted(deleted) {}
    ~CTestException() override { *m_deleted = true; }

private:
    bool* m_deleted;
};
IMPLEMENT_DYNAMIC(CTestException, CException)

}  // namespace

TEST(RuntimeClass, RecordsNameBaseAndKinship) {
    const CCircle circle;
    const CObject& object = circle;
    EXPECT_STREQ(object.GetRuntimeClass()->m_lpszClassName, "CCircle");
    EXPECT_EQ(object.GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS(CShape));
    EXPECT_EQ(RUNTIME_CLASS(CShape)->m_pBaseClass, RUNTIME_CLASS(CObject));
    EXPECT_EQ(RUNTIME_CLASS(CObject)->m_pBaseClass, nullptr);

    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CShape)));
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(object.IsKindOf(RUNTIME_CLASS(CFixed)));

    const CShape shape;
    EXPECT_FALSE(shape.IsKindOf(RUNTIME_CLASS(CCircle)));
}

TEST(RuntimeClass, CreatesDefaultObjectsOnlyForCreatableClasses) {
    const std::unique_ptr<CObject> made = RUNTIME_CLASS(CCircle)->CreateObject();
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(made->IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_EQ(static_cast<CShape&>(*made).Kind(), "circle");

    EXPECT_EQ(RUNTIME_CLASS(CFixed)->CreateObject(), nullptr);
    EXPECT_EQ(RUNTIME_CLASS(CObject)->CreateObject(), nullptr);
    // Only classes whose objects own themselves are made unowned.
    EXPECT_EQ(RUNTIME_CLASS(CCircle)->CreateSharedObject(), nullptr);
}

TEST(Exception, IsThrownAsPointerAndDeletedByCatcher) {
    bool deleted = false;
    try {
        throw new CTestException(&deleted);
    } catch (CException* e) {
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CException)));
        std::string message = "stale";
        EXPECT_FALSE(e->GetErrorMessage(message));
        EXPECT_EQ(message, "");
        e->Delete();
    }
    EXPECT_TRUE(deleted);
}
