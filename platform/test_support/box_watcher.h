// Watches for the message boxes with one title that the code under test shows, and
// closes each as a user would, so that a test can count them and read their texts.
#pragma once

#include <memory>
#include <string>

class BoxWatcher {
public:
  explicit BoxWatcher(std::u16string title);
  ~BoxWatcher();

  /// Stops watching; afterwards Count and LastText hold what was seen.
  void Stop();
  int Count() const { return fCount; }
  const std::u16string& LastText() const { return fLastText; }

private:
  struct State;
  std::u16string fTitle;
  std::unique_ptr<State> fState;
  int fCount = 0;
  std::u16string fLastText;
};
