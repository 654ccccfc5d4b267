#include <gtest/gtest.h>

#include <vector>

#include "framework/ObjectList.h"

namespace {

class CNumber : public CObject {
public:
    explicit CNumber(int value) : m_value(value) {}
    int m_value;
};

std::vector<int> Values(const CTypedObList<CNumber>& list) {
    std::vector<int> values;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        values.push_back(list.GetNext(pos)->m_value);
    }
    return values;
}

}  // namespace

TEST(ObjectList, KeepsOrderFindsByIdentityAndRemovesAnywhere) {
    CNumber one(1), two(2), three(3), otherTwo(2);
    CTypedObList<CNumber> list;
    list.AddTail(&one);
    list.AddTail(&two);
    list.AddTail(&three);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.Find(&otherTwo), nullptr);
    ASSERT_NE(list.Find(&two), nullptr);
    EXPECT_EQ(list.GetAt(list.Find(&two)), &two);

    list.RemoveAt(list.Find(&two));
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3}));
    list.RemoveAt(list.Find(&three));
    list.AddTail(&two);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2}));
    list.RemoveAt(list.Find(&one));
    EXPECT_EQ(Values(list), (std::vector<int>{2}));
    EXPECT_EQ(list.GetCount(), 1);
    // The elements are referred to, never owned.
    EXPECT_EQ(one.m_value, 1);
}

TEST(ObjectList, TakesNodesInBlocksOfTenAndGivesThemBackWhenEmpty) {
    std::vector<CNumber> numbers;
    for (int i = 0; i < 21; ++i) {
        numbers.emplace_back(i);
    }
    CTypedObList<CNumber> list;
    EXPECT_EQ(list.GetBlockCount(), 0);
    for (int i = 0; i < 10; ++i) {
        list.AddTail(&numbers[i]);
    }
    EXPECT_EQ(list.GetBlockCount(), 1);
    list.AddTail(&numbers[10]);
    EXPECT_EQ(list.GetBlockCount(), 2);

    // Freed nodes are used again before a new block is taken.
    for (int i = 0; i < 9; ++i) {
        list.RemoveAt(list.GetHeadPosition());
        list.AddTail(&numbers[11 + i]);
    }
    EXPECT_EQ(list.GetBlockCount(), 2);
    EXPECT_EQ(list.GetCount(), 11);
    EXPECT_EQ(Values(list).front(), 9);
    EXPECT_EQ(Values(list).back(), 19);

    while (!list.IsEmpty()) {
        list.RemoveAt(list.GetHeadPosition());
    }
    EXPECT_EQ(list.GetBlockCount(), 0);
    list.AddTail(&numbers[20]);
    EXPECT_EQ(Values(list), (std::vector<int>{20}));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}
