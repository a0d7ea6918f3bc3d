#include "util/message_box.h"

#include <gtest/gtest.h>

namespace quillmar {
namespace {

class Recorder : public TMessageBoxHandler {
 public:
  int ShowMessageBox(const std::string& caption, const std::string& text, int flags) override {
    last_caption = caption;
    last_text = text;
    last_flags = flags;
    return answer;
  }
  std::string last_caption, last_text;
  int last_flags = -1;
  int answer = kIdYes;
};

TEST(MessageBox, UsesTheApplicationTitleAndReturnsTheButton) {
  Recorder recorder;
  SetMessageBoxHandler(&recorder);
  SetApplicationTitle("42 % Quillmar");
  EXPECT_EQ(MsgBox("Wirklich löschen?", 52), kIdYes);
  EXPECT_EQ(recorder.last_caption, "42 % Quillmar");
  EXPECT_EQ(recorder.last_flags, 52);
  InfoBox("Alle Dateien sind synchron.");
  EXPECT_EQ(recorder.last_flags, 64);
  EXPECT_EQ(recorder.last_text, "Alle Dateien sind synchron.");
  SetMessageBoxHandler(nullptr);
  // Without a window a question is answered No, so nothing destructive happens unasked.
  testing::internal::CaptureStderr();
  EXPECT_EQ(MsgBox("Frage?", 52), kIdNo);
  EXPECT_EQ(MsgBox("Hinweis", 48), kIdOk);
  testing::internal::GetCapturedStderr();
  SetApplicationTitle("Quillmar");
}

}  // namespace
}  // namespace quillmar
