#pragma once
// The Fortran format parser shared by the record writer and the row reader:
// a format text such as "(1X,4(E9.3,2X),7X,F8.6,/)" becomes a tree of edit
// descriptors, kept in a cache keyed by the text. walk_format() runs the
// tree over an item list by the standard's rules (repeat counts, groups,
// "/", ":", stop at a data descriptor with no item left, format reversion).
#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum class EditKind {
  Group,        // n( ... )
  Integer,      // Iw[.m]
  Fixed,        // Fw.d
  Exponent,     // Ew.d[Ee]
  Scientific,   // ESw.d[Ee]
  Engineering,  // ENw.d[Ee]
  DoubleExp,    // Dw.d
  General,      // Gw.d[Ee]
  Text,         // A[w]
  Skip,         // nX, TRn
  SkipLeft,     // TLn
  Tab,          // Tn
  Slash,        // [r]/
  Colon,        // :
  Scale,        // kP
  BlankNull,    // BN
  BlankZero,    // BZ
  SignPlus,     // SP
  SignDefault,  // S, SS
  Literal,      // 'text', "text", nHtext
};

bool is_data_edit(EditKind kind);

struct EditNode {
  EditKind kind = EditKind::Group;
  int repeat = 1;
  int width = -1;     // w; -1 when absent (A without a width)
  int digits = -1;    // d of F/E/D/G, m of Iw.m; -1 when absent
  int exponent = -1;  // e of Ew.dEe; -1 when absent
  int count = 0;      // n of nX/Tn/TLn/TRn, k of kP
  std::string text;   // a literal
  std::vector<EditNode> items;  // a group's list
};

struct Format {
  std::vector<EditNode> items;     // the outer list
  std::size_t reversion = 0;       // where reversion restarts: the last outer group, else 0
  bool has_data = false;           // any data descriptor at all
  bool reversion_has_data = false; // a data descriptor from the reversion point on
};

// Numbers in a format (repeat counts, widths, positions) above this are refused.
inline constexpr int kFormatNumberLimit = 10'000'000;

// The parsed format, from a process-wide cache (thread-safe); nullptr when
// the text is not a format: unbalanced parentheses, an unknown descriptor,
// a missing width or a number above kFormatNumberLimit. Characters after
// the closing parenthesis are ignored, as the Fortran runtime does.
std::shared_ptr<const Format> cached_format(std::string_view text);

// Parses without the cache.
std::shared_ptr<const Format> parse_format(std::string_view text);

// The walk over a format. A Sink provides
//   bool has_item();                  items left?
//   bool data(const EditNode&);       transfer one item (false: failed)
//   bool control(const EditNode&);    X, T, P, BN, literals, ... (false: failed)
//   bool next_record();               "/" and reversion (false: failed)
//   void format_error();              the walk found the format unusable
// The budget caps the steps that transfer nothing (huge repeat counts of
// groups without data), so a pathological format ends as a format error.
namespace format_walk {

enum class Flow { Continue, Stop, Fail };

// What a group that only positions does to the position p of a record:
// p -> max(p + shift, floor). X and TR add, TL subtracts down to 0, T sets;
// such steps compose, and repeat, in this same form. Values saturate far
// beyond any record.
struct Placement {
  static constexpr long long kFar = 1LL << 60;
  long long shift = 0;
  long long floor = -kFar;

  static long long clamp(long double v) {
    return v > kFar ? kFar : v < -kFar ? -kFar : static_cast<long long>(v);
  }
  // This placement, then `next`.
  Placement then(const Placement& next) const {
    return {clamp(static_cast<long double>(shift) + next.shift),
            std::max(clamp(static_cast<long double>(floor) + next.shift), next.floor)};
  }
  // This placement done `times` times (times >= 1).
  Placement repeated(long long times) const {
    return {clamp(static_cast<long double>(shift) * times),
            clamp(static_cast<long double>(floor) + static_cast<long double>(times - 1) * std::max(shift, 0LL))};
  }
};

// True for a group of position and mode steps only (X, T, TL, TR, P, BN,
// BZ, S, SP, SS and such groups): no data, no "/", no ":", no literal.
inline bool positions_only(const std::vector<EditNode>& nodes) {
  for (const EditNode& node : nodes) {
    switch (node.kind) {
      case EditKind::Skip: case EditKind::SkipLeft: case EditKind::Tab: case EditKind::Scale:
      case EditKind::BlankNull: case EditKind::BlankZero: case EditKind::SignPlus: case EditKind::SignDefault:
        break;
      case EditKind::Group:
        if (!positions_only(node.items)) return false;
        break;
      default:
        return false;
    }
  }
  return true;
}

inline Placement placement_of(const std::vector<EditNode>& nodes) {
  Placement p;
  for (const EditNode& node : nodes) {
    switch (node.kind) {
      case EditKind::Skip: p = p.then({node.count, -Placement::kFar}); break;
      case EditKind::SkipLeft: p = p.then({-static_cast<long long>(node.count), 0}); break;
      case EditKind::Tab: p = p.then({-Placement::kFar, node.count - 1LL}); break;
      case EditKind::Group: p = p.then(placement_of(node.items).repeated(node.repeat)); break;
      default: break;
    }
  }
  return p;
}

template <class Sink>
Flow walk_list(const std::vector<EditNode>& nodes, std::size_t from, Sink& sink, long long& budget) {
  for (std::size_t i = from; i < nodes.size(); ++i) {
    const EditNode& node = nodes[i];
    if (--budget < 0) {
      sink.format_error();
      return Flow::Fail;
    }
    switch (node.kind) {
      case EditKind::Group:
        // A sink that can place its position in one step gets the
        // repetitions of a positions-only group after the first as one
        // step: its work follows the record and the items, not the count.
        if constexpr (requires(long long v) { sink.place(v, v); }) {
          if (node.repeat > 2 && positions_only(node.items)) {
            Flow flow = walk_list(node.items, 0, sink, budget);
            if (flow != Flow::Continue) return flow;
            const Placement rest = placement_of(node.items).repeated(node.repeat - 1LL);
            sink.place(rest.shift, rest.floor);
            break;
          }
        }
        for (int r = 0; r < node.repeat; ++r) {
          if (--budget < 0) {
            sink.format_error();
            return Flow::Fail;
          }
          Flow flow = walk_list(node.items, 0, sink, budget);
          if (flow != Flow::Continue) return flow;
        }
        break;
      case EditKind::Colon:
        if (!sink.has_item()) return Flow::Stop;
        break;
      case EditKind::Slash:
        for (int r = 0; r < node.repeat; ++r) {
          if (--budget < 0) {
            sink.format_error();
            return Flow::Fail;
          }
          if (!sink.next_record()) return Flow::Fail;
        }
        break;
      default:
        if (is_data_edit(node.kind)) {
          for (int r = 0; r < node.repeat; ++r) {
            if (!sink.has_item()) return Flow::Stop;
            if (!sink.data(node)) return Flow::Fail;
          }
        } else if (!sink.control(node)) {
          return Flow::Fail;
        }
    }
  }
  return Flow::Continue;
}

}  // namespace format_walk

// Runs `format` over the sink's items; false when the walk failed (the sink
// knows why). Items left at the end of the format start a new record and
// continue from the reversion point.
template <class Sink>
bool walk_format(const Format& format, Sink& sink, long long budget) {
  using format_walk::Flow;
  Flow flow = format_walk::walk_list(format.items, 0, sink, budget);
  while (flow == Flow::Continue && sink.has_item()) {
    if (!format.reversion_has_data) {  // would loop for ever
      sink.format_error();
      return false;
    }
    if (!sink.next_record()) return false;
    flow = format_walk::walk_list(format.items, format.reversion, sink, budget);
  }
  return flow != Flow::Fail;
}

}  // namespace quorvel
