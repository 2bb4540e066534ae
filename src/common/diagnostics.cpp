#include "common/diagnostics.hpp"

#include <utility>

namespace quorvel {
namespace {
thread_local std::vector<Diagnostic>* capture = nullptr;
}  // namespace

void post_diagnostic(std::string code, std::string text) {
  if (capture) capture->push_back(Diagnostic{std::move(code), std::move(text)});
}

DiagnosticCapture::DiagnosticCapture(std::vector<Diagnostic>& to) : before_(capture) { capture = &to; }

DiagnosticCapture::~DiagnosticCapture() { capture = before_; }

}  // namespace quorvel
