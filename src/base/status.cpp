#include "base/status.h"

namespace pontevia {

const std::string& Status::message() const {
  static const std::string kEmpty;
  return rep_ ? rep_->message : kEmpty;
}

Status Status::WithPrefix(const std::string& prefix) const {
  if (ok()) return Status();
  return Status(rep_->code, prefix + rep_->message);
}

Status Status::WithMessage(std::string message) const {
  if (ok()) return Status();
  return Status(rep_->code, std::move(message));
}

}  // namespace pontevia
