#pragma once

#include <memory>
#include <vector>

#include "framework/Object.h"

// A node of a CObList; callers only ever hold it as an opaque POSITION.
struct CObListNode {
    CObListNode* m_pNext = nullptr;
    CObListNode* m_pPrev = nullptr;
    CObject* m_pElement = nullptr;
};
using POSITION = CObListNode*;

// An ordered list of object references. It never owns or deletes the
// objects it refers to. Nodes come from blocks of ten so that a list that
// grows and shrinks all the time does not allocate for every element; the
// blocks are given back when the list becomes empty.
class CObList : public CObject {
    DECLARE_DYNCREATE(CObList)

public:
    static constexpr int kNodesPerBlock = 10;

    CObList() = default;
    ~CObList() override = default;
    CObList(const CObList&) = delete;
    CObList& operator=(const CObList&) = delete;

    POSITION AddTail(CObject* element);
    // The position of the first reference to `element` (by identity), or null.
    POSITION Find(const CObject* element) const;
    // `position` must come from this list; it is invalid afterwards.
    void RemoveAt(POSITION position);
    void RemoveAll();

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    int GetBlockCount() const { return static_cast<int>(m_blocks.size()); }

    POSITION GetHeadPosition() const { return m_pHead; }
    CObject* GetAt(POSITION position) const { return position->m_pElement; }
    // Returns the element at `position` and moves `position` to the next one
    // (null after the tail).
    CObject* GetNext(POSITION& position) const;

private:
    CObListNode* TakeFreeNode();
    void ReleaseBlocks();

    CObListNode* m_pHead = nullptr;
    CObListNode* m_pTail = nullptr;
    CObListNode* m_pFree = nullptr;
    int m_nCount = 0;
    std::vector<std::unique_ptr<CObListNode[]>> m_blocks;
};

// A CObList whose elements are all of class T (or derived from it).
template <class T>
class CTypedObList : public CObList {
public:
    POSITION AddTail(T* element) { return CObList::AddTail(element); }
    POSITION Find(const T* element) const { return CObList::Find(element); }
    T* GetAt(POSITION position) const { return static_cast<T*>(CObList::GetAt(position)); }
    T* GetNext(POSITION& position) const { return static_cast<T*>(CObList::GetNext(position)); }
};
