#include "ScriptedDriver.h"

#include <algorithm>

namespace patchpav::testing {
namespace {

const char* const kColumns[] = {"CPMain_ID",  "MontantSS1", "MontantSS2", "MontantSS3",
                                "MontantSS4", "MontantSS5", "MontantSS6", "MontantSS7"};

bool Starts(const std::string& sql, const char* word) {
  const std::size_t first = sql.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  std::string head = sql.substr(first, 6);
  std::transform(head.begin(), head.end(), head.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return head == word;
}

// A key equals the UPDATE's integer parameter as a server compares a column with a number: a
// whole float does, and so does a text that reads as that number (" 42", "042").
bool KeyEquals(const Value& key, std::int64_t wanted) {
  switch (key.GetKind()) {
    case Value::Kind::Integer:
      return key.AsInteger() == wanted;
    case Value::Kind::Float:
      return key.AsFloat() == static_cast<double>(wanted);
    case Value::Kind::Text:
      try {
        return key.AsInteger() == wanted;
      } catch (const EConvertError&) {
        return false;
      }
    case Value::Kind::Null:
      break;
  }
  return false;
}

class Selection : public PreparedStatement {
 public:
  explicit Selection(std::shared_ptr<ScriptedDriver::State> state) : state_(std::move(state)) {}
  std::size_t ParameterCount() const override { return 0; }
  ResultSet Open(std::span<const Value>) override {
    ResultSet result;
    result.columns.assign(std::begin(kColumns), std::end(kColumns));
    for (const ScriptedDriver::Row& row : state_->rows) {
      if (!row.alwaysSelected &&
          std::none_of(row.amounts.begin(), row.amounts.end(), [](double a) { return a < 0; })) {
        continue;
      }
      std::vector<Value>& out = result.rows.emplace_back();
      out.push_back(row.key);
      for (double a : row.amounts) out.push_back(Value::Float(a));
    }
    return result;
  }
  std::int64_t Execute(std::span<const Value>) override {
    throw EDatabaseError("une sélection ne s'exécute pas");
  }

 private:
  std::shared_ptr<ScriptedDriver::State> state_;
};

class Write : public PreparedStatement {
 public:
  explicit Write(std::shared_ptr<ScriptedDriver::State> state) : state_(std::move(state)) {}
  std::size_t ParameterCount() const override { return 8; }
  ResultSet Open(std::span<const Value>) override {
    throw EDatabaseError("une modification ne renvoie pas de lignes");
  }
  std::int64_t Execute(std::span<const Value> parameters) override {
    if (parameters.size() != 8) throw EDatabaseError("8 paramètres attendus");
    const std::int64_t key = parameters[7].AsInteger();
    state_->attempts.push_back(key);
    state_->log.push_back("update " + std::to_string(key));
    const ScriptedDriver::Answer answer =
        state_->script ? state_->script(key, static_cast<int>(state_->attempts.size()))
                       : ScriptedDriver::Answer{};
    if (answer.error && answer.outcomeUnknown) {
      throw EUncertainWrite(answer.error->what(), answer.error->Fault());
    }
    if (answer.error) throw *answer.error;
    if (answer.holds) {
      for (ScriptedDriver::Row& row : state_->rows) {
        if (!KeyEquals(row.key, key)) continue;
        for (std::size_t i = 0; i < 7; ++i) row.amounts[i] = parameters[i].AsFloat();
      }
    }
    return answer.count;
  }
  bool CheckWritable() override {
    if (state_->refuseCheck) throw *state_->refuseCheck;
    return false;
  }

 private:
  std::shared_ptr<ScriptedDriver::State> state_;
};

class Connection : public DriverConnection {
 public:
  explicit Connection(std::shared_ptr<ScriptedDriver::State> state) : state_(std::move(state)) {}
  std::unique_ptr<PreparedStatement> Prepare(const std::string& sql) override {
    if (Starts(sql, "SELECT")) return std::make_unique<Selection>(state_);
    if (Starts(sql, "UPDATE")) return std::make_unique<Write>(state_);
    throw EDatabaseError("instruction inconnue : " + sql);
  }
  void Flush() override {
    state_->log.push_back("flush");
    ++state_->flushes;
    if (state_->onFlush) state_->onFlush();
    if (state_->flushFailsFrom > 0 && state_->flushes >= state_->flushFailsFrom) {
      throw EDatabaseError("coupure pendant la mise sur disque", DatabaseFault::ConnectionLost);
    }
  }

 private:
  std::shared_ptr<ScriptedDriver::State> state_;
};

}  // namespace

std::unique_ptr<DriverConnection> ScriptedDriver::Connect(const DriverParams&) {
  return std::make_unique<Connection>(state);
}

}  // namespace patchpav::testing
