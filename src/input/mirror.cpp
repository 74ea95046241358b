#include "input/mirror.h"

namespace qm::input {

void Mirror::act(const std::function<void()>& action) {
    if (!listening()) return;
    action();
    mirrorAll();
}

}  // namespace qm::input
