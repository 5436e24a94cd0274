#pragma once

#include <functional>
#include <string>
#include <vector>

namespace patchpav {

// An ordered list of text lines (a connection's parameter lines, a query's SQL text). The owner
// may install a guard that runs before every change and refuses it by raising.
class TStringList {
 public:
  explicit TStringList(std::function<void()> beforeChange = {})
      : beforeChange_(std::move(beforeChange)) {}

  void Clear() {
    if (beforeChange_) beforeChange_();
    lines_.clear();
  }
  void Add(std::string line) {
    if (beforeChange_) beforeChange_();
    lines_.push_back(std::move(line));
  }
  std::size_t Count() const { return lines_.size(); }
  const std::string& operator[](std::size_t i) const { return lines_.at(i); }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The lines joined by line breaks.
  std::string Text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (i > 0) text += '\n';
      text += lines_[i];
    }
    return text;
  }

 private:
  std::function<void()> beforeChange_;
  std::vector<std::string> lines_;
};

}  // namespace patchpav
