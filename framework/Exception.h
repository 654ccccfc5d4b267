#pragma once

#include <string>

#include "framework/Object.h"

// Base of the framework's exceptions. They are created with new, thrown as
// pointers, and whoever catches one owns it and ends it with Delete().
class CException : public CObject {
    DECLARE_DYNAMIC(CException)

public:
    // Fills `message` with a text for the user; false when there is none.
    virtual bool GetErrorMessage(std::string& message) const;
    // Frees a caught exception.
    void Delete();

protected:
    CException() = default;
    ~CException() override = default;
};

// Owns a caught exception pointer for the rest of a scope.
struct ExceptionDeleter {
    void operator()(CException* e) const { e->Delete(); }
};
