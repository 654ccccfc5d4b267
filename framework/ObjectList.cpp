#include "framework/ObjectList.h"

#include "framework/Diagnostics.h"

IMPLEMENT_DYNCREATE(CObList, CObject)

POSITION CObList::AddTail(CObject* element) {
    CObListNode* const node = TakeFreeNode();
    node->m_pElement = element;
    node->m_pPrev = m_pTail;
    node->m_pNext = nullptr;
    if (m_pTail != nullptr) {
        m_pTail->m_pNext = node;
    } else {
        m_pHead = node;
    }
    m_pTail = node;
    ++m_nCount;
    return node;
}

POSITION CObList::Find(const CObject* element) const {
    for (CObListNode* node = m_pHead; node != nullptr; node = node->m_pNext) {
        if (node->m_pElement == element) {
            return node;
        }
    }
    return nullptr;
}

void CObList::RemoveAt(POSITION position) {
    VANTREL_ASSERT(position != nullptr && m_nCount > 0);
    if (position == nullptr || m_nCount == 0) {
        return;
    }
    (position->m_pPrev != nullptr ? position->m_pPrev->m_pNext : m_pHead) = position->m_pNext;
    (position->m_pNext != nullptr ? position->m_pNext->m_pPrev : m_pTail) = position->m_pPrev;
    position->m_pElement = nullptr;
    position->m_pPrev = nullptr;
    position->m_pNext = m_pFree;
    m_pFree = position;
    if (--m_nCount == 0) {
        ReleaseBlocks();
    }
}

void CObList::RemoveAll() {
    m_nCount = 0;
    ReleaseBlocks();
}

CObject* CObList::GetNext(POSITION& position) const {
    CObListNode* const node = position;
    position = node->m_pNext;
    return node->m_pElement;
}

CObListNode* CObList::TakeFreeNode() {
    if (m_pFree == nullptr) {
        auto block = std::make_unique<CObListNode[]>(kNodesPerBlock);
        for (int i = kNodesPerBlock - 1; i >= 0; --i) {
            block[i].m_pNext = m_pFree;
            m_pFree = &block[i];
        }
        m_blocks.push_back(std::move(block));
    }
    CObListNode* const node = m_pFree;
    m_pFree = node->m_pNext;
    return node;
}

void CObList::ReleaseBlocks() {
    m_pHead = nullptr;
    m_pTail = nullptr;
    m_pFree = nullptr;
    m_blocks.clear();
}
