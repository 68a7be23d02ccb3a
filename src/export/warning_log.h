// The warnings of one export: problems in the source document that do not
// stop the run (a missing attribute, a character the tables cannot hold).
// Each is passed to the user at once and kept for the summary. A document
// with the same fault on thousands of elements would bury the user, so only
// the first few of each kind are told in full and the rest are counted.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pontevia::exporter {

class UserInteraction;

enum class WarningKind { kMissingAttribute, kLossyText, kOther };

class WarningLog {
 public:
  // `ui` may be null (nobody is told at once); it must outlive this log.
  explicit WarningLog(UserInteraction* ui) : ui_(ui) {}
  WarningLog(const WarningLog&) = delete;
  WarningLog& operator=(const WarningLog&) = delete;

  // `message` is a complete Spanish sentence, UTF-8.
  void Report(WarningKind kind, const std::string& message);

  // Adds one line per kind that had more warnings than were told in full.
  // Call once, at the end of the run.
  void Finish();

  const std::vector<std::string>& messages() const { return messages_; }

  static constexpr int kFullPerKind = 20;

 private:
  void Tell(const std::string& message);

  UserInteraction* ui_;
  std::vector<std::string> messages_;
  std::map<WarningKind, int64_t> counts_;
};

}  // namespace pontevia::exporter
