#include "export/warning_log.h"

#include "export/user_interaction.h"

namespace pontevia::exporter {

void WarningLog::Report(WarningKind kind, const std::string& message) {
  if (++counts_[kind] <= kFullPerKind) Tell(message);
}

void WarningLog::Finish() {
  for (const auto& [kind, count] : counts_) {
    if (count <= kFullPerKind) continue;
    const int64_t more = count - kFullPerKind;
    std::string what;
    switch (kind) {
      case WarningKind::kMissingAttribute:
        what = "atributos que faltan";
        break;
      case WarningKind::kLossyText:
        what = "caracteres que no se pueden guardar";
        break;
      case WarningKind::kOther:
        what = "avisos";
        break;
    }
    Tell("Hay " + std::to_string(more) + " avisos más de " + what +
         ", del mismo tipo que los anteriores.");
  }
  counts_.clear();
}

void WarningLog::Tell(const std::string& message) {
  messages_.push_back(message);
  if (ui_ != nullptr) ui_->Warn(message);
}

}  // namespace pontevia::exporter
