#include "state/trail.h"

void ClearSegs() {
    for (auto& s : seg_list) {
        seg_list.Remove(&s);
        trail.segs--;
    }
}
