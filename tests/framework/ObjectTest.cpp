#include <gtest/gtest.h>

#include <string_view>

#include "framework/Exception.h"
#include "framework/Object.h"

namespace {

class CShape : public CObject {
    DECLARE_DYNCREATE(CShape)
};
IMPLEMENT_DYNCREATE(CShape, CObject)

class CCircle : public CShape {
    DECLARE_DYNCREATE(CCircle)
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

// Names, bases and creation of the DDE classes' records are pinned by the DDE tests.
TEST(RuntimeClass, KinshipFollowsTheBasesAndOnlyCreatableClassesAreMade) {
    const CCircle circle;
    const CObject& object = circle;
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CShape)));
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(object.IsKindOf(RUNTIME_CLASS(CFixed)));
    EXPECT_FALSE(CShape().IsKindOf(RUNTIME_CLASS(CCircle)));

    EXPECT_EQ(RUNTIME_CLASS(CFixed)->CreateObject(), nullptr);
    EXPECT_EQ(RUNTIME_CLASS(CObject)->CreateObject(), nullptr);
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
