#include "framework/Exception.h"

IMPLEMENT_DYNAMIC(CException, CObject)

bool CException::GetErrorMessage(std::string& message) const {
    message.clear();
    return false;
}

void CException::Delete() {
    delete this;
}
