#include "statements/relozios.h"

#include <fmt/format.h>

#include "toolbox/log.h"

namespace zi {

TRelozios::TRelozios(std::string name, Clock::time_point (*now)()) : name_(std::move(name)), now_(now) {
  Start(0, "main");
}

TRelozios::~TRelozios() {
  for (Relozio& r : relozios_) {
    if (r.running && &r != &relozios_[0]) r.erro = kRelozioRunningAtEnd;
  }
  if (!reported_) Report("");
}

void TRelozios::Start(int index, const std::string& name) {
  if (index < 0 || index >= kCount) return;
  Relozio& r = relozios_[static_cast<size_t>(index)];
  if (!r.name.empty() && r.name != name) r.colisao = true;
  r.name = name;
  if (r.running) {
    r.erro = kRelozioStartRunning;
    return;
  }
  r.running = true;
  ++r.starts;
  r.since = now_();
}

void TRelozios::Stop(int index) {
  if (index < 0 || index >= kCount) return;
  Relozio& r = relozios_[static_cast<size_t>(index)];
  if (!r.running) {
    r.erro = kRelozioStopStopped;
    return;
  }
  r.ms += std::chrono::duration<double, std::milli>(now_() - r.since).count();
  r.running = false;
}

double TRelozios::ElapsedMs(const Relozio& r) const {
  return r.ms + (r.running ? std::chrono::duration<double, std::milli>(now_() - r.since).count() : 0);
}

double TRelozios::MainMs() const { return ElapsedMs(relozios_[0]); }

std::vector<std::string> TRelozios::ReportLines(const std::string& title) const {
  std::vector<std::string> lines = {"Relozios " + name_ + " " + title};
  const double mainMs = MainMs();
  for (int i = 0; i < kCount; ++i) {
    const Relozio& r = relozios_[static_cast<size_t>(i)];
    if (r.starts == 0) continue;
    const double seconds = ElapsedMs(r) / 1000.0;
    const double share = mainMs > 0 ? ElapsedMs(r) / mainMs * 100.0 : 0.0;
    std::string line = fmt::format("- {:>3}:{:>6}{:7.2f}s{:12.8f}s/call {:5.1f}%", i, r.starts, seconds,
                                   seconds / r.starts, share);
    if (r.running) line += "\t Running!";
    if (r.erro != 0) line += " ErroDeFluxo=" + std::to_string(r.erro) + "!";
    if (r.colisao) line += " ColisaoDeNome!";
    lines.push_back(line + "  " + r.name);
  }
  return lines;
}

void TRelozios::Report(const std::string& title) {
  if (reported_) return;
  reported_ = true;
  for (const std::string& line : ReportLines(title)) Loga(line);
}

}  // namespace zi
