// The receiver page on the receiver types with rules of their own: type 21 (command set
// unknown) offers no control at all, and type 24 (hamlib's rigctld over TCP) offers its
// controls and they reach the daemon's dummy rig.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QStandardItemModel>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/page_windows.h"
#include "app/core/settings_fields.h"
#include "app/core/station_core.h"
#include "app/ui/receiver_page.h"
#include "spl/audio/sound_device.h"
#include "spl/platform/message_loop.h"
#include "spl/radio/receiver_table.h"
#include "tests/radio/rigctld_daemon.h"
#include "tests/ui/qt_app.h"

namespace fs = std::filesystem;

namespace {

class CMessagesUi : public CStationUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

class ReceiverPageTypes : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    char tmpl[] = "/tmp/kestrel-page-types-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    base_ = tmpl;
    loop_.SetOrphanHandler(DiscardAudioMessage);
  }
  void TearDown() override {
    page_.reset();
    core_.Shutdown();
    loop_.Pump();
    fs::remove_all(base_);
  }
  void Start(int type, const std::string& port) {
    CSettingsRecord r;
    r.SetInt(kCfgReceiverType, type);
    std::string why;
    ASSERT_EQ(r.Save(base_ + "/KSTLCONFIG.CFG", &why), 1) << why;
    ASSERT_EQ(core_.Init(base_, &ui_, &pages_), 1);
    StationOptions o;
    o.port = port;
    o.audioIn = "null";
    o.audioOut = "null";
    o.synopStore = KESTREL_SYNOP_STORE;
    ASSERT_EQ(core_.Start(o), 1) << (ui_.messages.empty() ? "" : ui_.messages[0]);
    ASSERT_EQ(core_.Radio().Type(), type);
    page_ = std::make_unique<CReceiverPage>(core_);
    page_->Refresh();
  }
  template <class T>
  T* Control(const char* name) {
    T* w = page_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  int ModesOffered() {
    auto* modes = qobject_cast<QStandardItemModel*>(Control<QComboBox>("mode")->model());
    int offered = 0;
    for (int i = 0; i < kModeCount; ++i) offered += modes->item(i)->isEnabled();
    return offered;
  }

  std::string base_;
  CMessageLoop loop_;
  CLoopPageHost pages_{loop_};
  CMessagesUi ui_;
  CStationCore core_;
  std::unique_ptr<CReceiverPage> page_;
};

TEST_F(ReceiverPageTypes, Type21OffersNoControl) {
  Start(21, "sim:21");
  EXPECT_EQ(core_.Radio().CapabilityMask, 0u);
  EXPECT_EQ(ModesOffered(), 0);
  EXPECT_FALSE(Control<QComboBox>("ifWidth")->isEnabled());
  for (const char* name : {"att", "agc", "nb"})
    EXPECT_FALSE(Control<QCheckBox>(name)->isEnabled()) << name;
}

TEST_F(ReceiverPageTypes, Type24ControlsReachRigctld) {
  if (rigctld_test::CRigctldDaemon::Program().empty())
    GTEST_SKIP() << "rigctld (Debian package libhamlib-utils) is not installed";
  rigctld_test::CRigctldDaemon daemon;
  const int port = daemon.Start();
  ASSERT_NE(port, 0) << "rigctld did not start listening";
  Start(24, "localhost:" + std::to_string(port));
  EXPECT_EQ(ModesOffered(), kModeCount - 1);  // all but ASF
  EXPECT_TRUE(Control<QComboBox>("ifWidth")->isEnabled());
  for (const char* name : {"att", "agc", "nb"}) {
    QCheckBox* box = Control<QCheckBox>(name);
    ASSERT_TRUE(box->isEnabled()) << name;
    box->setChecked(false);
    box->click();  // on, as a user would switch it
  }
  EXPECT_EQ(daemon.AskOne("l ATT"), "10");
  EXPECT_EQ(daemon.AskOne("l AGC"), "6");
  EXPECT_EQ(daemon.AskOne("u NB"), "1");
  QComboBox* mode = Control<QComboBox>("mode");
  mode->setCurrentIndex(mode->findData(kModeFM));
  EXPECT_EQ(daemon.Mode(), "FM");
  EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0];
}

}  // namespace
