// The export run: load the source document, build the eight working tables in
// a staging folder in the fixed order of the steps below, and only when every
// step has succeeded put them in place of the working folder's tables.
//
// Horalia's working folder holds the school's only copy of what the user did
// in Horalia since the last export. So nothing in it changes until the new
// tables are complete: a broken document, a full disk or a table Horalia
// holds open stops the run with the folder exactly as it was. The tables
// about to be replaced are first copied into Copias\AAAAMMDD-HHMMSS\, and if
// moving the new ones in fails halfway, the old ones are put back from there.
#include "export/export_run.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "access/xml_document.h"
#include "export/table_builders.h"
#include "export/warning_log.h"
#include "text/ansi.h"

namespace pontevia::exporter {

namespace {

// The eight working tables, in the order they are built.
constexpr const char* kTables[] = {"ASIGNOMT", "PROFT",   "AULAT", "CURSOST",
                                   "GRUPOST",  "MATIB",   "ASIGT", "DIASHORAST"};

// Inside the working folder, so that moving a finished table into place is a
// rename on the same disk.
constexpr char kStagingFolder[] = "Pontevia.tmp";
constexpr char kBackupFolder[] = "Copias";
constexpr size_t kBackupsKept = 10;

constexpr char kNothingChanged[] = " No se ha cambiado nada en la carpeta de trabajo.";

// The fixed order of the export. Each step reads what the earlier ones wrote:
// the groups read the courses as the user completed them and the subjects;
// the assignment lines read the groups and the subjects.
Status BuildAllTables(access::XmlDocument* doc, BuildContext* ctx, bool* forced_exit) {
  bool force_exit_offered = false;
  PONTEVIA_RETURN_IF_ERROR(BuildSubjectsTable(doc, ctx));
  PONTEVIA_RETURN_IF_ERROR(BuildTeachersTable(doc, ctx));
  PONTEVIA_RETURN_IF_ERROR(BuildRoomsTable(doc, ctx));
  PONTEVIA_RETURN_IF_ERROR(BuildCoursesTable(doc, ctx, &force_exit_offered, forced_exit));
  PONTEVIA_RETURN_IF_ERROR(BuildGroupsTables(doc, ctx));
  PONTEVIA_RETURN_IF_ERROR(BuildAssignmentLines(ctx));
  PONTEVIA_RETURN_IF_ERROR(BuildDayHourFrame(ctx));
  return Status::OK();
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// True for NAME.DBF or NAME.MDX of a working table, in any letter case (the
// folder may come from a system that wrote the names in lower case).
bool IsTableFile(const std::string& file_name) {
  const std::string upper = Upper(file_name);
  for (const char* table : kTables) {
    if (upper == std::string(table) + ".DBF" || upper == std::string(table) + ".MDX") return true;
  }
  return false;
}

// The name a file goes by in a folder: Windows folders ignore letter case, so
// 'asignomt.dbf' there is the same file as 'ASIGNOMT.DBF'; elsewhere they are
// two files.
std::string FolderKey(const std::string& file_name) {
#ifdef _WIN32
  return Upper(file_name);
#else
  return file_name;
#endif
}

Status TableFilesIn(access::Env* env, const std::string& folder, std::vector<std::string>* names) {
  std::vector<std::string> all;
  PONTEVIA_RETURN_IF_ERROR(env->ListDirectory(folder, &all));
  names->clear();
  for (std::string& name : all) {
    if (IsTableFile(name)) names->push_back(std::move(name));
  }
  std::sort(names->begin(), names->end());
  return Status::OK();
}

std::string Timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y%m%d-%H%M%S", &local);
  return buffer;
}

// "AAAAMMDD-HHMMSS", optionally followed by "-N": the backups this program
// made, which are the only ones it may prune.
bool IsBackupName(const std::string& name) {
  if (name.size() < 15 || name[8] != '-') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i == 8) continue;
    if (i == 15) {
      if (name[i] != '-' || name.size() == 16) return false;
      continue;
    }
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

// Deletes the staging folder on every way out of the run.
class StagingFolder {
 public:
  StagingFolder(access::Env* env, std::string path) : env_(env), path_(std::move(path)) {}
  ~StagingFolder() { (void)env_->RemoveDirectoryTree(path_); }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  access::Env* env_;
  std::string path_;
};

class BusyGuard {
 public:
  explicit BusyGuard(UserInteraction* ui) : ui_(ui) { ui_->SetBusy(true); }
  ~BusyGuard() { ui_->SetBusy(false); }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  UserInteraction* ui_;
};

// Finds, before anything is replaced, a table another program holds open.
Status CheckNoneHeld(access::Env* env, const std::string& workdir,
                     const std::vector<std::string>& existing) {
  for (const std::string& name : existing) {
    std::unique_ptr<access::FileLock> lock;
    Status s = env->LockFile(access::JoinPath(workdir, name), access::ShareMode::kExclusive, &lock);
    if (s.code() == StatusCode::kLocked) {
      return Status::Locked("La tabla " + text::AnsiToUtf8(name) +
                            " de la carpeta de trabajo está abierta en otro programa "
                            "(¿Horalia?). Ciérrela y vuelva a exportar." + kNothingChanged);
    }
    if (!s.ok()) return s.WithMessage(s.message() + kNothingChanged);
  }
  return Status::OK();
}

// A dated folder of Copias for the tables about to be replaced. It is removed
// again (with Copias, if this run made it) unless the export succeeds.
class Backup {
 public:
  Backup(access::Env* env, const std::string& workdir)
      : env_(env), copies_(access::JoinPath(workdir, kBackupFolder)) {}
  ~Backup() {
    if (!path_.empty() && !keep_) (void)env_->RemoveDirectoryTree(copies_existed_ ? path_ : copies_);
  }
  Backup(const Backup&) = delete;
  Backup& operator=(const Backup&) = delete;

  // Copies `names` from `workdir` into a new folder Copias\AAAAMMDD-HHMMSS.
  Status Make(const std::string& workdir, const std::vector<std::string>& names) {
    copies_existed_ = env_->DirectoryExists(copies_);
    const std::string stamp = Timestamp();
    std::string path = access::JoinPath(copies_, stamp);
    for (int n = 2; env_->DirectoryExists(path); ++n) {
      path = access::JoinPath(copies_, stamp + "-" + std::to_string(n));
    }
    path_ = path;
    Status s = env_->CreateDirectories(path_);
    for (size_t i = 0; s.ok() && i < names.size(); ++i) {
      s = env_->CopyFile(access::JoinPath(workdir, names[i]), access::JoinPath(path_, names[i]));
    }
    if (s.ok()) return s;
    return s.WithMessage("No se pudo hacer la copia de seguridad de las tablas actuales: " +
                           s.message() + kNothingChanged);
  }

  void Keep() { keep_ = true; }
  const std::string& path() const { return path_; }

 private:
  access::Env* env_;
  std::string copies_;
  std::string path_;
  bool copies_existed_ = true;
  bool keep_ = false;
};

// Moves the staged tables into the working folder and removes the old table
// files that no new one replaces (an index left by an older version, a name
// in another letter case). If a step fails, every old file is put back from
// the backup and every new one removed.
Status MoveIntoPlace(access::Env* env, const std::string& staging, const std::string& workdir,
                     const std::vector<std::string>& staged, const std::vector<std::string>& existing,
                     const std::string& backup, bool* restored_all) {
  *restored_all = true;
  std::set<std::string> new_names, old_names;
  for (const std::string& name : staged) new_names.insert(FolderKey(name));
  for (const std::string& name : existing) old_names.insert(FolderKey(name));
  Status s;
  for (size_t i = 0; s.ok() && i < staged.size(); ++i) {
    s = env->RenameFile(access::JoinPath(staging, staged[i]), access::JoinPath(workdir, staged[i]));
  }
  for (size_t i = 0; s.ok() && i < existing.size(); ++i) {
    if (new_names.count(FolderKey(existing[i])) == 0) s = env->RemoveFile(access::JoinPath(workdir, existing[i]));
  }
  if (s.ok()) return s;

  Status restored;
  for (const std::string& name : staged) {
    if (old_names.count(FolderKey(name)) == 0) {
      Status r = env->RemoveFile(access::JoinPath(workdir, name));
      if (restored.ok()) restored = r;
    }
  }
  for (const std::string& name : existing) {
    Status r = env->CopyFile(access::JoinPath(backup, name), access::JoinPath(workdir, name));
    if (restored.ok()) restored = r;
  }
  *restored_all = restored.ok();
  if (restored.ok()) {
    return s.WithMessage("No se pudieron poner las tablas nuevas en la carpeta de trabajo: " +
                           s.message() + " Se han repuesto las tablas anteriores.");
  }
  return s.WithMessage("No se pudieron poner las tablas nuevas en la carpeta de trabajo: " +
                         s.message() + " Tampoco se pudieron reponer todas las anteriores (" +
                         restored.message() + "); están copiadas en " + backup +
                         ". Cierre Horalia y cópielas a mano en la carpeta de trabajo.");
}

// Keeps the newest backups; an old one that cannot be removed only costs
// disk space, so it is reported and the export still succeeds.
void PruneBackups(access::Env* env, const std::string& workdir, WarningLog* warnings) {
  const std::string copies = access::JoinPath(workdir, kBackupFolder);
  std::vector<std::string> names;
  if (!env->ListDirectory(copies, &names).ok()) return;
  std::vector<std::string> backups;
  for (const std::string& name : names) {
    if (IsBackupName(name) && env->DirectoryExists(access::JoinPath(copies, name))) {
      backups.push_back(name);
    }
  }
  // "-N" folders of the same second sort after the plain one, as they were made.
  std::sort(backups.begin(), backups.end(), [](const std::string& a, const std::string& b) {
    const std::string sa = a.substr(0, 15), sb = b.substr(0, 15);
    if (sa != sb) return sa < sb;
    const int na = a.size() > 16 ? std::stoi(a.substr(16)) : 1;
    const int nb = b.size() > 16 ? std::stoi(b.substr(16)) : 1;
    return na < nb;
  });
  for (size_t i = 0; i + kBackupsKept < backups.size(); ++i) {
    Status s = env->RemoveDirectoryTree(access::JoinPath(copies, backups[i]));
    if (!s.ok()) {
      warnings->Report(WarningKind::kOther,
                       "No se pudo borrar la copia antigua " + backups[i] + ": " + s.message());
    }
  }
}

Status Commit(access::Env* env, const std::string& staging, const std::string& workdir,
              std::string* backup_path, WarningLog* warnings) {
  std::vector<std::string> staged, existing;
  Status s = TableFilesIn(env, staging, &staged);
  if (s.ok()) s = TableFilesIn(env, workdir, &existing);
  if (!s.ok()) return s.WithMessage(s.message() + kNothingChanged);
  PONTEVIA_RETURN_IF_ERROR(CheckNoneHeld(env, workdir, existing));
  Backup backup(env, workdir);
  if (!existing.empty()) PONTEVIA_RETURN_IF_ERROR(backup.Make(workdir, existing));
  bool restored_all = true;
  s = MoveIntoPlace(env, staging, workdir, staged, existing, backup.path(), &restored_all);
  if (!s.ok()) {
    // When the old tables could not all be put back, the copies are the
    // user's only copy of them.
    if (!restored_all) backup.Keep();
    return s;
  }
  backup.Keep();
  *backup_path = backup.path();
  PruneBackups(env, workdir, warnings);
  return Status::OK();
}

}  // namespace

Status RunExport(access::Env* env, const ExportRequest& request, UserInteraction* ui,
                 ExportSummary* summary) {
  *summary = ExportSummary();
  if (request.source_path.empty() || !env->FileExists(request.source_path)) {
    return Status::NotFound("No existe archivo");
  }
  if (!env->DirectoryExists(request.workdir)) {
    return Status::NotFound("No existe la carpeta de trabajo " + request.workdir +
                            ". Compruebe que Horalia está instalado o indique la carpeta correcta.");
  }

  std::unique_ptr<access::XmlDocument> doc;
  Status loaded = access::XmlDocument::Load(request.source_path, &doc);
  if (!loaded.ok()) return loaded.WithMessage(loaded.message() + kNothingChanged);
  // Any other XML file (a timetable solution, another program's export) would
  // load without error and, finding none of the school's elements, replace
  // Horalia's tables with empty ones.
  const std::string root = doc->DocumentElement().Name();
  if (root != "CENTRE") {
    return Status::BadInput("El archivo «" + request.source_path +
                            "» no es una exportación de datos de un centro de GestIB: su elemento "
                            "principal es " + text::AnsiToUtf8(root) +
                            " y debería ser CENTRE. Elija el archivo XML que exporta GestIB." +
                            kNothingChanged);
  }

  BusyGuard busy(ui);
  const std::string staging_path = access::JoinPath(request.workdir, kStagingFolder);
  PONTEVIA_RETURN_IF_ERROR(env->RemoveDirectoryTree(staging_path));  // a crash's leftover
  StagingFolder staging(env, staging_path);
  Status s = env->CreateDirectories(staging.path());
  if (!s.ok()) return s.WithMessage(s.message() + kNothingChanged);

  WarningLog warnings(ui);
  BuildContext ctx;
  ctx.env = env;
  ctx.folder = staging.path();
  ctx.ui = ui;
  ctx.warnings = &warnings;
  ctx.counts = &summary->tables;

  s = BuildAllTables(doc.get(), &ctx, &summary->forced_exit);
  if (!s.ok() && s.code() != StatusCode::kIncomplete && s.code() != StatusCode::kCancelled) {
    s = s.WithMessage(s.message() + kNothingChanged);
  }
  if (s.ok()) s = Commit(env, staging.path(), request.workdir, &summary->backup_folder, &warnings);
  warnings.Finish();
  summary->warnings = warnings.messages();
  return s;
}

}  // namespace pontevia::exporter
