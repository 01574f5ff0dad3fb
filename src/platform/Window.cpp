#include "platform/Window.h"

#include "platform/Exception.h"

namespace qx {

void Window::SetProgressMax(std::int32_t max) {
    if (max < 0)
        throw Exception("Progress bar maximum " + std::to_string(max) + " is below its minimum 0");
    ApplyProgressMax(max);
}

} // namespace qx
