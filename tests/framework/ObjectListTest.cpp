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

TEST(ObjectList, KeepsOrderAndReusesNodesFromBlocksOfTen) {
    std::vector<CNumber> numbers;
    for (int i = 0; i < 11; ++i) {
        numbers.emplace_back(i);
    }
    CTypedObList<CNumber> list;
    for (CNumber& number : numbers) {
        list.AddTail(&number);
    }
    EXPECT_EQ(list.GetBlockCount(), 2);
    list.RemoveAt(list.Find(&numbers[5]));
    list.RemoveAt(list.Find(&numbers[10]));
    list.RemoveAt(list.GetHeadPosition());
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4, 6, 7, 8, 9}));
    // Freed nodes are taken before a new block: 22 taken in all, 19 held.
    for (CNumber& number : numbers) {
        list.AddTail(&number);
    }
    EXPECT_EQ(list.GetCount(), 19);
    EXPECT_EQ(list.GetBlockCount(), 2);
    // The blocks go back once the list is empty.
    while (!list.IsEmpty()) {
        list.RemoveAt(list.GetHeadPosition());
    }
    EXPECT_EQ(list.GetBlockCount(), 0);
}
