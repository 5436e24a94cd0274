#pragma once

// A driver whose writes answer as a test scripts them, for what no real base does on demand: a
// server that reports -1 or a trigger's count, a write that reports success and does not hold, a
// connection that drops at the third row. It holds an in-memory CPMAIN (a key and seven amounts
// per row) and understands the run's two statements: the selection gives the rows that hold a
// negative amount, in the order the test gave them (key order), and the UPDATE by key writes the
// amounts of every row whose key equals its parameter, unless the script says otherwise.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "correction/RedistributeNegativeAmount.h"
#include "engine/core/Driver.h"
#include "engine/core/Errors.h"

namespace patchpav::testing {

class ScriptedDriver : public Driver {
 public:
  static constexpr const char* kType = "SCRIPTED";

  struct Row {
    Value key;
    Amounts amounts;
    // The selection finds the row whatever its amounts hold, as a server whose comparison and
    // reading of a value disagree.
    bool alwaysSelected = false;
  };

  // What one UPDATE does.
  struct Answer {
    bool holds = true;                    // the rows take the amounts written
    std::int64_t count = 1;               // the count the driver reports
    std::optional<EDatabaseError> error;  // raised instead; nothing is written
    bool outcomeUnknown = false;          // the error is raised as a write that may have landed
  };
  // Given the key written and the number of the UPDATE in the run (from 1).
  using Script = std::function<Answer(std::int64_t key, int attempt)>;

  struct State {
    std::vector<Row> rows;
    Script script;                              // none: every write holds and counts 1
    std::optional<EDatabaseError> refuseCheck;  // raised by the check before the first write
    std::vector<std::int64_t> attempts;         // the key of every UPDATE run, in order
    // What the base was asked, in order: "update <key>", "flush"; a test may add its own lines.
    std::vector<std::string> log;
    int flushFailsFrom = 0;  // the first flush that fails with a lost connection; 0: none
    int flushes = 0;
    std::function<void()> onFlush;  // called by each flush, before it fails or not
  };

  std::shared_ptr<State> state = std::make_shared<State>();

  std::string Type() const override { return kType; }
  DriverParams DefaultParams() const override { return {}; }
  std::unique_ptr<DriverConnection> Connect(const DriverParams&) override;
};

}  // namespace patchpav::testing
