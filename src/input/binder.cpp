#include "input/binder.h"

#include "window/controls.h"

namespace qm::input {

void Binder::mirror() {
    MirrorScope scope(mirror_);
    mirrorShown(control_.enabled(), control_.visible());
    mirrorState();
}

}  // namespace qm::input
