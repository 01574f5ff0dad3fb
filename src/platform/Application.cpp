#include "platform/Application.h"

namespace qx {

std::string ExceptionDisplayText(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        message += '.';
    return message;
}

} // namespace qx
