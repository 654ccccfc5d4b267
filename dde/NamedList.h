#pragma once

// What the framework's lists of named objects (topics, items) share.

#include <string>
#include <utility>

#include "framework/ObjectList.h"

// Fields separated by one TAB each; an empty field still takes its place.
class TabSeparated {
public:
    void Add(const std::string& field) {
        if (m_fields++ > 0) {
            m_text += '\t';
        }
        m_text += field;
    }
    std::string Take() { return std::move(m_text); }

private:
    std::string m_text;
    int m_fields = 0;
};

// The first element whose name compares equal to `name`, or null.
template <class T>
T* FindByName(const CTypedObList<T>& list, const char* name) {
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        T* const element = list.GetNext(pos);
        if (element->m_name.compare(name) == 0) {
            return element;
        }
    }
    return nullptr;
}

// The names of all elements, in list order, separated by TABs.
template <class T>
std::string NamesOf(const CTypedObList<T>& list) {
    TabSeparated names;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        names.Add(list.GetNext(pos)->m_name);
    }
    return names.Take();
}
