#include "script/FileMoves.h"

namespace srdw {

AttributeKeeper::AttributeKeeper(std::string path)
    : path_(std::move(path)), saved_(Os().Attributes(path_)) {
    if (saved_ && !saved_->normal) {
        Os().SetNormalAttributes(path_);
    }
}

AttributeKeeper::~AttributeKeeper() {
    if (saved_ && !saved_->normal) {
        Os().RestoreAttributes(path_, *saved_);
    }
}

bool MovePath(const std::string& from, const std::string& to) {
    return static_cast<bool>(Os().MoveNoReplace(from, to));
}

}  // namespace srdw
