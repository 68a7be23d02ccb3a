// The dBase engine against plain buffered sequential I/O of the same bytes,
// in one run: write and read 1,000,000 records shaped like ASIGT lines (the
// assignment lines table, 12 fields). At the end the program prints
// engine / plain for writing and for reading with fields by position, as hot
// loops use them; the target is 1.5 or less. The same with fields by name
// follows for comparison.
//
//   build/native/bench/table_bench [--records=N] [--dir=FOLDER]
//
// Each benchmark runs once per repetition; the ratios use the fastest
// repetition of each, which is the least disturbed by other work on the
// machine. FOLDER (default: the system's temporary folder) should be on the
// disk being measured; the files are removed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "access/dbf_table.h"
#include "access/env.h"

namespace {

using namespace pontevia::access;

int64_t g_records = 1000000;
std::string g_dir;

const TableDef& AsigtDef() {
  static const TableDef def = [] {
    TableDef d;
    d.fields = {{"CASIG", FieldType::kCharacter, 10}, {"CPROF", FieldType::kCharacter, 10},
                {"CGRUP", FieldType::kCharacter, 10}, {"CAULA", FieldType::kCharacter, 10},
                {"TURNO", FieldType::kCharacter, 1},  {"NIVEL", FieldType::kCharacter, 5},
                {"CURSO", FieldType::kCharacter, 3},  {"GRUPO", FieldType::kCharacter, 2},
                {"HORAS", FieldType::kFloat, 0},      {"SESIONES", FieldType::kCharacter, 20},
                {"NCONEX", FieldType::kCharacter, 4}, {"CTAREA", FieldType::kCharacter, 10}};
    return d;
  }();
  return def;
}

// Varied values, made before any timing starts, so that what is measured is
// the table's work (and, in the baseline, the I/O) and not the making of them.
// Texts are std::string, as the builders hold them.
struct Line {
  std::string casig, cgrup, nivel, curso, grupo, sesiones;
  double horas;
};

Line MakeLineNow(int64_t i) {
  static const char* const kSesiones[] = {"1111", "111", "11", "1", "111111", "1111111111111"};
  Line l;
  l.casig = "ASG" + std::to_string(1000000 + i % 9000000);
  l.cgrup = "ESO" + std::to_string(i % 400) + "A";
  l.nivel = "ESO";
  l.curso = std::to_string(1 + i % 4);
  l.grupo = std::string(1, static_cast<char>('A' + i % 6));
  l.horas = static_cast<double>(i % 8) / 2.0;
  l.sesiones = kSesiones[i % 6];
  return l;
}

constexpr int64_t kDistinctLines = 4096;

const Line& MakeLine(int64_t i) {
  static const std::vector<Line> pool = [] {
    std::vector<Line> p;
    for (int64_t k = 0; k < kDistinctLines; ++k) p.push_back(MakeLineNow(k * 7919));
    return p;
  }();
  return pool[static_cast<size_t>(i % kDistinctLines)];
}

void Fail(benchmark::State& state, const pontevia::Status& s) {
  state.SkipWithError(s.message().c_str());
}

std::string EngineFolder() { return (std::filesystem::path(g_dir) / "engine").string(); }
std::string PlainPath() { return (std::filesystem::path(g_dir) / "PLAIN.DBF").string(); }

std::string AsigtPath() { return (std::filesystem::path(EngineFolder()) / "ASIGT.DBF").string(); }

// The size of the table the engine wrote: what the plain run writes too.
uint64_t AsigtBytes() {
  std::error_code ec;
  uint64_t size = std::filesystem::file_size(AsigtPath(), ec);
  return ec ? 0 : size;
}

// The record length the engine chose, from bytes 10-11 of its header.
size_t AsigtRecordLength() {
  unsigned char header[12] = {};
  std::FILE* f = std::fopen(AsigtPath().c_str(), "rb");
  if (!f) return 0;
  size_t got = std::fread(header, 1, sizeof header, f);
  std::fclose(f);
  return got == sizeof header ? static_cast<size_t>(header[10] | header[11] << 8) : 0;
}

// The ASIGT fields, in table order.
enum AsigtField { kCasig, kCprof, kCgrup, kCaula, kTurno, kNivel, kCurso, kGrupo, kHoras, kSesiones, kNconex, kCtarea };
constexpr std::string_view kAsigtNames[] = {"CASIG", "CPROF", "CGRUP",    "CAULA",  "TURNO", "NIVEL",
                                            "CURSO", "GRUPO", "HORAS",    "SESIONES", "NCONEX", "CTAREA"};

// One line written as the builders write it: Append, one checked call per
// field, Post. Hot loops pass positions looked up once with FieldIndex; the
// other way passes the field names (string literals, as builders spell them).
template <bool kByPosition>
pontevia::Status WriteLine(Table* t, const int* pos, const Line& l) {
// A macro rather than a lambda, which the compiler may leave out of line.
#define PONTEVIA_SET(call, f, value) \
  PONTEVIA_RETURN_IF_ERROR(kByPosition ? t->call(pos[f], value) : t->call(kAsigtNames[f], value))
  PONTEVIA_RETURN_IF_ERROR(t->Append());
  PONTEVIA_SET(SetText, kCasig, l.casig);
  PONTEVIA_SET(SetText, kCprof, "");
  PONTEVIA_SET(SetText, kCgrup, l.cgrup);
  PONTEVIA_SET(SetText, kCaula, "");
  PONTEVIA_SET(SetText, kTurno, "M");
  PONTEVIA_SET(SetText, kNivel, l.nivel);
  PONTEVIA_SET(SetText, kCurso, l.curso);
  PONTEVIA_SET(SetText, kGrupo, l.grupo);
  PONTEVIA_SET(SetFloat, kHoras, l.horas);
  PONTEVIA_SET(SetText, kSesiones, l.sesiones);
#undef PONTEVIA_SET
  return t->Post();
}

template <bool kByPosition>
void BM_EngineWrite(benchmark::State& state) {
  Env* env = Env::Default();
  std::filesystem::create_directories(EngineFolder());
  for (auto _ : state) {
    std::unique_ptr<Table> t;
    pontevia::Status s = Table::Create(env, EngineFolder(), "ASIGT", AsigtDef(), &t);
    if (!s.ok()) return Fail(state, s);
    int pos[12];
    for (int k = 0; k < 12; ++k) pos[k] = *t->FieldIndex(kAsigtNames[k]);
    for (int64_t i = 0; i < g_records && s.ok(); ++i) s = WriteLine<kByPosition>(t.get(), pos, MakeLine(i));
    if (s.ok()) s = t->Close();
    if (!s.ok()) return Fail(state, s);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * AsigtBytes()));
}

template <bool kByPosition>
void BM_EngineRead(benchmark::State& state) {
  Env* env = Env::Default();
  static constexpr std::string_view kTexts[] = {"CASIG", "CPROF", "CGRUP",    "CAULA",  "TURNO", "NIVEL",
                                                "CURSO", "GRUPO", "SESIONES", "NCONEX", "CTAREA"};
  for (auto _ : state) {
    std::unique_ptr<Table> t;
    pontevia::Status s = Table::Open(env, EngineFolder(), "ASIGT", ShareMode::kShared, &t);
    if (!s.ok()) return Fail(state, s);
    int pos[11];
    for (int k = 0; k < 11; ++k) pos[k] = *t->FieldIndex(kTexts[k]);
    const int horas = *t->FieldIndex("HORAS");
    size_t chars = 0;
    double hours = 0;
    int64_t n = 0;
    for (s = t->First(); s.ok() && !t->Eof(); s = t->Next()) {
      for (int k = 0; k < 11; ++k) {
        if (kByPosition) {
          chars += t->TextView(pos[k]).size();
        } else {
          auto text = t->GetText(kTexts[k]);
          if (!text.ok()) return Fail(state, text.status());
          chars += text->size();
        }
      }
      auto h = kByPosition ? t->GetFloat(horas) : t->GetFloat("HORAS");
      if (!h.ok()) return Fail(state, h.status());
      hours += *h;
      ++n;
    }
    if (s.ok()) s = t->Close();
    if (!s.ok()) return Fail(state, s);
    if (n != g_records) {
      state.SkipWithError("the engine read back a different number of records");
      return;
    }
    benchmark::DoNotOptimize(chars);
    benchmark::DoNotOptimize(hours);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * AsigtBytes()));
}

// The same bytes through stdio with a large buffer: one fwrite per record of
// a record formatted in place, then fflush and fclose.
void BM_PlainWrite(benchmark::State& state) {
  const uint64_t total = AsigtBytes();
  const size_t record = AsigtRecordLength();
  if (total == 0 || record < 100) {
    state.SkipWithError("run BM_EngineWrite first: it sets the size to write");
    return;
  }
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    std::FILE* f = std::fopen(PlainPath().c_str(), "wb");
    if (!f) {
      state.SkipWithError("cannot create the plain file");
      return;
    }
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    std::vector<char> rec_buffer(record);
    char* rec = rec_buffer.data();
    uint64_t written = 0;
    for (int64_t i = 0; written + record <= total; ++i, written += record) {
      const Line& l = MakeLine(i);
      std::memset(rec, ' ', record);
      std::memcpy(rec + 1, l.casig.data(), l.casig.size());
      std::memcpy(rec + 21, l.cgrup.data(), l.cgrup.size());
      rec[80] = static_cast<char>('0' + static_cast<int>(l.horas));
      std::fwrite(rec, 1, record, f);
    }
    std::fwrite(rec, 1, total - written, f);
    bool ok = std::fflush(f) == 0 && !std::ferror(f);
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
      state.SkipWithError("write error on the plain file");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}

// Reads the plain file back one record at a time through a large stdio
// buffer, touching every byte of each record.
void BM_PlainRead(benchmark::State& state) {
  const size_t record = AsigtRecordLength();
  std::vector<char> buffer(1 << 20);
  std::vector<char> rec_buffer(record);
  for (auto _ : state) {
    std::FILE* f = std::fopen(PlainPath().c_str(), "rb");
    if (!f) {
      state.SkipWithError("run BM_PlainWrite first");
      return;
    }
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    char* rec = rec_buffer.data();
    uint64_t sum = 0;
    size_t got;
    while ((got = std::fread(rec, 1, record, f)) > 0) {
      for (size_t i = 0; i < got; ++i) sum += static_cast<unsigned char>(rec[i]) != ' ';
    }
    std::fclose(f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * AsigtBytes()));
}

// Keeps the fastest real time and the least CPU time of every benchmark for
// the ratios. CPU time says less about waiting for the disk but much less
// about other programs on a busy machine, so both are printed.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations == 0) continue;
      const double n = static_cast<double>(r.iterations);
      Keep(&real_, r.run_name.function_name, r.real_accumulated_time / n);
      Keep(&cpu_, r.run_name.function_name, r.cpu_accumulated_time / n);
    }
  }
  double Real(const std::string& name) const { return Get(real_, name); }
  double Cpu(const std::string& name) const { return Get(cpu_, name); }

 private:
  static void Keep(std::map<std::string, double>* best, const std::string& name, double seconds) {
    auto it = best->find(name);
    if (it == best->end() || seconds < it->second) (*best)[name] = seconds;
  }
  static double Get(const std::map<std::string, double>& best, const std::string& name) {
    auto it = best.find(name);
    return it == best.end() ? 0 : it->second;
  }
  std::map<std::string, double> real_, cpu_;
};

}  // namespace

#define PONTEVIA_BENCH(fn) \
  BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime()
PONTEVIA_BENCH(BM_EngineWrite<false>)->Name("BM_EngineWriteByName");
PONTEVIA_BENCH(BM_EngineWrite<true>)->Name("BM_EngineWriteByPosition");
PONTEVIA_BENCH(BM_PlainWrite);
PONTEVIA_BENCH(BM_EngineRead<false>)->Name("BM_EngineReadByName");
PONTEVIA_BENCH(BM_EngineRead<true>)->Name("BM_EngineReadByPosition");
PONTEVIA_BENCH(BM_PlainRead);

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--records=", 0) == 0) {
      g_records = std::stoll(a.substr(10));
    } else if (a.rfind("--dir=", 0) == 0) {
      g_dir = a.substr(6);
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (g_dir.empty()) g_dir = (std::filesystem::temp_directory_path() / "pontevia_bench").string();
  std::filesystem::create_directories(g_dir);
  (void)MakeLine(0);  // builds the pool now, outside every timing
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(g_dir);

  // The two ratios come from fields by position, the way hot loops
  // use the engine (FieldIndex once; SetText/SetFloat and TextView/GetFloat).
  // By name (SetText("CASIG", ...), and GetText("CASIG") returning a
  // std::string) is printed too, as builders that pass names pay that.
  struct Row {
    const char* label;
    const char* engine;
    const char* plain;
  };
  const Row kTarget[] = {{"write ratio", "BM_EngineWriteByPosition", "BM_PlainWrite"},
                         {"read ratio", "BM_EngineReadByPosition", "BM_PlainRead"}};
  const Row kByName[] = {{"write by name", "BM_EngineWriteByName", "BM_PlainWrite"},
                         {"read by name", "BM_EngineReadByName", "BM_PlainRead"}};
  bool all = true, met = true;
  auto print = [&](const Row& row, bool target) {
    const double er = reporter.Real(row.engine), pr = reporter.Real(row.plain);
    const double ec = reporter.Cpu(row.engine), pc = reporter.Cpu(row.plain);
    if (er <= 0 || pr <= 0 || ec <= 0 || pc <= 0) {
      all = false;
      std::printf("  %-14s not measured\n", row.label);
      return;
    }
    if (target) met = met && er / pr <= 1.5;
    std::printf("  %-14s %.2f   real %.3f s / %.3f s    cpu %.3f s / %.3f s = %.2f\n", row.label, er / pr, er, pr,
                ec, pc, ec / pc);
  };
  std::printf("\n%lld ASIGT records, engine / plain buffered sequential I/O of the same bytes, fastest run of each\n",
              static_cast<long long>(g_records));
  std::printf("Fields by position (FieldIndex once), target <= 1.5:\n");
  for (const Row& row : kTarget) print(row, true);
  std::printf("Fields by name, for comparison:\n");
  for (const Row& row : kByName) print(row, false);
  if (!all) {
    std::cout << "Not every benchmark ran; some ratios are missing.\n";
    return 1;
  }
  std::printf("Target %s (ratios of real time; CPU time, less disturbed by other programs, beside them).\n",
              met ? "met" : "NOT met");
  return 0;
}
