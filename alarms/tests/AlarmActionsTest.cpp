// The alarm actions on a fixed clock: pictures in the day's folder and the
// queue folders, the mail and upload timers, the alarm program, the sound,
// and the alarm log block byte for byte.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "alarms/AlarmLog.h"
#include "alarms/tests/AlarmTestSupport.h"
#include "platform/mg/Scheduler.h"
#include "platform/mg/ffmpeg/FfAudioRenderer.h"
#include "platform/mg/ffmpeg/FfRegister.h"

namespace {

using alarmtest::AlarmTest;
using alarmtest::ReadFile;

const std::string kBegin = std::string(17, '-') + "begin" + std::string(65, '-');
const std::string kEnd = std::string(17, '-') + "End" + std::string(65, '-');
// The alarm runs 10 ms after the frame, on a clock started at 09:04:07.045.
const std::string kStamp = "2007-3-5-9-4-7-55";

class AlarmActions : public AlarmTest {
protected:
  void SetUp() override {
    AlarmTest::SetUp();
    g_.Sensitivity = 7;
    g_.AlarmLine = 250;
    g_.MotionRatio = 12345;
    g_.AlarmDelay = 1.9;
    g_.Mail.SendToAddress = "to@example.org";
    g_.Mail.CCAddress = "cc@example.org";
    g_.Mail.BccAddress = "";
    g_.Mail.SendFromAddress = "me@example.org";
    g_.PlaySoundFullFileName = exe_ + "AlarmSound/AlarmSound.wav";
    g_.RunProgramExeFullFileName = exe_ + "alarm.sh";
    g_.Ftp.FTPHostAddress = "10.0.0.2";
    g_.SaveEachPicture = true;
    image_->Picture()->Assign(&frame_);
  }
  // Runs the actions as the alarm-delay timer does.
  void RunAlarm() {
    Alarm();
    alarmDelay_->SetEnabled(true);
    clock_.Advance(10);
  }
  std::string Log() { return ReadFile(g_.LogPath + "AlarmLogFile.txt"); }
  std::string MailFolder() { return exe_ + "SendMailtempFile/"; }
  std::string UploadFolder() { return exe_ + "UploadTempFile/"; }
};

TEST_F(AlarmActions, TheLogBlockIsByteExact) {
  struct Case {
    const char* name;
    bool save, mail, sound, program, video, ftp;
    alarms::TAlarmLogFacts facts;
    std::vector<std::string> lines;
  };
  const std::string head = "Time:      " + kStamp + "\r\nSensitivity:      7\r\nAlarm Line:      250\r\n"
                           "Motion Ratio:      123\r\nDelay Alarm Time:      1(s)";
  g_.AlarmVideoSavePath = "/v/AlarmVideos/";
  g_.FtpCurrentFolder = "";
  for (const Case& c :
       {Case{"all",
             true,
             true,
             true,
             true,
             true,
             true,
             {kStamp, "/p/2007-3-5/" + kStamp + ".jpg", kStamp + ".jpg"},
             {"Alarm Mode:     Save Picture.  Send Email.  Play Sound.  Run Program.  Record Video.  FTP Upload.  ",
              "[Save Picture]", "Picture Path:      /p/2007-3-5/" + kStamp + ".jpg", "[Send E-Mail]",
              "To:      to@example.org", "CC:      cc@example.org", "BCC:      ", "From:      me@example.org",
              "[Play Sound]", "Sound Path:      " + g_.PlaySoundFullFileName, "[Run Program]",
              "Program Path:      " + g_.RunProgramExeFullFileName, "[Record Video]",
              "Video Path:      /v/AlarmVideos/", "[FTP Upload]", "FTP Server Address(IP):      10.0.0.2",
              // Before the first upload the remote folder is still empty.
              "Upload File Path:FTP://10.0.0.2//" + kStamp + ".jpg"}},
        Case{"none", false, false, false, false, false, false, {kStamp, "", ""}, {"Alarm Mode:     "}},
        // No picture was written this time: the header stays, no path is named.
        Case{"no picture",
             true,
             false,
             false,
             false,
             false,
             true,
             {kStamp, "", ""},
             {"Alarm Mode:     Save Picture.  FTP Upload.  ", "[Save Picture]", "[FTP Upload]",
              "FTP Server Address(IP):      10.0.0.2"}}}) {
    SCOPED_TRACE(c.name);
    g_.bSavePicture = c.save;
    g_.bSendEmail = c.mail;
    g_.bPlaySound = c.sound;
    g_.bRunProgram = c.program;
    g_.bRecordVideo = c.video;
    g_.bFTPUpload = c.ftp;
    std::string expected = kBegin + "\r\n" + head + "\r\n";
    for (const std::string& l : c.lines) expected += l + "\r\n";
    expected += kEnd;
    EXPECT_EQ(alarms::AlarmLogBlock(g_, c.facts), expected);
  }
  EXPECT_EQ(kBegin.size(), 87u);
  EXPECT_EQ(kEnd.size(), 85u);
}

TEST_F(AlarmActions, AnAlarmWritesItsPicturesQueuesAndLogInOrder) {
  g_.bSendEmail = true;
  g_.bFTPUpload = true;
  g_.bWriteLog = true;
  g_.SendPictureOrOnlyHint = false;
  g_.EmaiSendsAlternation = 50;
  g_.isContinuedUpload = false;
  g_.FTPIntervalUploadTime = 2.5;
  RunAlarm();
  const std::string name = kStamp + ".jpg";
  EXPECT_EQ(FilesIn(g_.TodayAlarmPicturePath), std::vector<std::string>{name});
  // The alarm-time mail carries no pictures, so none is queued for it.
  EXPECT_TRUE(FilesIn(MailFolder()).empty());
  EXPECT_EQ(FilesIn(UploadFolder()), std::vector<std::string>{name});
  const std::string jpeg = ReadFile(g_.TodayAlarmPicturePath + name);
  ASSERT_GE(jpeg.size(), 3u);
  EXPECT_EQ(jpeg.substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_EQ(g_.MailQueue->Count(), 0);
  ASSERT_EQ(g_.UploadQueue->Count(), 1);
  EXPECT_EQ(g_.UploadQueue->Strings(0), UploadFolder() + name);
  ASSERT_EQ(g_.AlarmTimes->Count(), 1);
  EXPECT_EQ(g_.AlarmTimes->Strings(0), kStamp);
  EXPECT_TRUE(sendEmail_->Enabled());
  EXPECT_EQ(sendEmail_->Interval(), 50'000u);
  EXPECT_TRUE(upload_->Enabled());
  EXPECT_EQ(upload_->Interval(), 2500u);
  EXPECT_FALSE(alarmDelay_->Enabled()) << "one run per start";
  const std::string log = Log();
  EXPECT_EQ(log.substr(0, kBegin.size() + 2), kBegin + "\r\n");
  EXPECT_EQ(log.substr(log.size() - kEnd.size() - 2), kEnd + "\r\n");
  EXPECT_NE(log.find("Picture Path:      " + g_.TodayAlarmPicturePath + name + "\r\n"), std::string::npos);
  EXPECT_TRUE(host_->hints.empty());
  // The mail log keeps nothing unless asked to.
  EXPECT_EQ(g_.MailLogText, "");

  // BMP, pictures by mail, continued upload: 100 ms.
  g_.AlarmPictureSaveFormat = 0;
  g_.SendPictureOrOnlyHint = true;
  g_.isContinuedUpload = true;
  clock_.Advance(2000);
  RunAlarm();
  EXPECT_EQ(FilesIn(g_.TodayAlarmPicturePath).size(), 2u);
  EXPECT_EQ(upload_->Interval(), 100u);
  const auto bmps = FilesIn(MailFolder());
  ASSERT_EQ(bmps.size(), 1u);
  EXPECT_EQ(ReadFile(MailFolder() + bmps.back()).substr(0, 2), "BM");
  ASSERT_EQ(g_.MailQueue->Count(), 1);
  EXPECT_EQ(g_.MailQueue->Strings(0), MailFolder() + bmps.back());
}

// What an earlier run left queued goes out without waiting for an alarm,
// each queue only by its own action and only when something waits in it.
TEST_F(AlarmActions, QueuedPicturesResumeTheirDeliveryAtStartUp) {
  struct Case {
    bool sendEmail, pictures, upload;
    int mailQueued, uploadQueued;
    bool mailTimer, uploadTimer;
  } cases[] = {
      {true, true, true, 2, 1, true, true},
      {true, true, true, 0, 0, false, false},
      {false, true, false, 2, 1, false, false},
      {true, false, true, 2, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sendEmail << c.pictures << c.upload << c.mailQueued << c.uploadQueued);
    sendEmail_->SetEnabled(false);
    upload_->SetEnabled(false);
    g_.MailQueue->Clear();
    g_.UploadQueue->Clear();
    for (int i = 0; i < c.mailQueued; ++i) g_.MailQueue->Add(MailFolder() + std::to_string(i) + ".jpg");
    for (int i = 0; i < c.uploadQueued; ++i) g_.UploadQueue->Add(UploadFolder() + std::to_string(i) + ".jpg");
    g_.bSendEmail = c.sendEmail;
    g_.SendPictureOrOnlyHint = c.pictures;
    g_.bFTPUpload = c.upload;
    g_.EmaiSendsAlternation = 0;
    g_.isContinuedUpload = false;
    g_.FTPIntervalUploadTime = 0;
    Alarm().ResumeDelivery();
    EXPECT_EQ(sendEmail_->Enabled(), c.mailTimer);
    EXPECT_EQ(upload_->Enabled(), c.uploadTimer);
    // Settings of 0 still give timers that fire.
    if (c.mailTimer) {
      EXPECT_EQ(sendEmail_->Interval(), 1000u);
    }
    if (c.uploadTimer) {
      EXPECT_GE(upload_->Interval(), 1u);
    }
  }
}

TEST_F(AlarmActions, NoPictureSwitchMeansNoQueueFoldersAndNoNames) {
  g_.bSavePicture = false;
  g_.bWriteLog = true;
  RunAlarm();
  EXPECT_FALSE(std::filesystem::exists(MailFolder()));
  EXPECT_FALSE(std::filesystem::exists(UploadFolder()));
  EXPECT_TRUE(FilesIn(g_.TodayAlarmPicturePath).empty());
  EXPECT_EQ(Log().find("Path"), std::string::npos);
}

TEST_F(AlarmActions, PicturesArePacedByTheIntervalWhileAlarmsRepeatWithEveryFrame) {
  struct Case {
    bool each;
    std::vector<int> picturesAfter;  // after each of five alarms 500 ms apart
  };
  g_.AlternationSavePicureTime = 1.0;
  g_.AlarmDelay = 0;
  g_.bWriteLog = true;
  for (const Case& c : {Case{true, {1, 1, 2, 2, 3}}, Case{false, {0, 0, 1, 1, 2}}}) {
    SCOPED_TRACE(c.each);
    std::filesystem::remove_all(g_.TodayAlarmPicturePath);
    std::filesystem::create_directories(g_.TodayAlarmPicturePath);
    g_.SaveEachPicture = c.each;
    Frame(0);
    std::vector<int> counts;
    for (int i = 0; i < 5; ++i) {
      Frame(500, 10);  // the frame arms the alarm, which runs 10 ms later
      counts.push_back(static_cast<int>(FilesIn(g_.TodayAlarmPicturePath).size()));
      clock_.Advance(490);
    }
    EXPECT_EQ(counts, c.picturesAfter);
  }
  // Every alarm wrote a block; only the ones with a picture name it.
  const std::string log = Log();
  size_t blocks = 0, paths = 0;
  for (size_t at = log.find(kBegin); at != std::string::npos; at = log.find(kBegin, at + 1)) ++blocks;
  for (size_t at = log.find("Picture Path:"); at != std::string::npos; at = log.find("Picture Path:", at + 1)) ++paths;
  EXPECT_EQ(blocks, 10u);
  EXPECT_EQ(paths, 5u);
}

TEST_F(AlarmActions, AFailedWriteIsToldAndTheOtherActionsStillRun) {
  g_.bSendEmail = true;
  g_.bWriteLog = true;
  g_.SendLog = true;
  // The day's folder is a file, and so is the log's folder.
  std::filesystem::remove_all(g_.TodayAlarmPicturePath);
  std::ofstream(g_.TodayAlarmPicturePath.substr(0, g_.TodayAlarmPicturePath.size() - 1)) << "x";
  std::ofstream(exe_ + "Log") << "x";
  RunAlarm();
  ASSERT_EQ(host_->hints.size(), 2u);
  EXPECT_NE(host_->hints[0].find("The alarm picture " + g_.TodayAlarmPicturePath), std::string::npos);
  EXPECT_NE(host_->hints[1].find("The alarm log "), std::string::npos);
  EXPECT_EQ(host_->hints[1].back(), '\r');
  // The mail copy and its queue entry are there all the same, and the
  // block kept for mail names no picture that does not exist.
  EXPECT_EQ(FilesIn(MailFolder()).size(), 1u);
  EXPECT_EQ(g_.MailQueue->Count(), 1);
  EXPECT_TRUE(sendEmail_->Enabled());
  EXPECT_NE(g_.MailLogText.find(kBegin), std::string::npos);
  EXPECT_EQ(g_.MailLogText.find("Picture Path"), std::string::npos);
}

TEST_F(AlarmActions, TheMailLogFollowsSendLogAndSendMail) {
  struct Case {
    bool sendLog, mail;
    std::string before;
    bool grows, cleared;
  };
  g_.bWriteLog = true;
  g_.bSavePicture = false;
  for (const Case& c : {Case{true, true, "old", true, false}, Case{true, false, "old", false, false},
                        Case{false, true, "old", false, true}}) {
    g_.SendLog = c.sendLog;
    g_.bSendEmail = c.mail;
    g_.MailLogText = c.before;
    RunAlarm();
    if (c.grows) {
      EXPECT_EQ(g_.MailLogText.substr(0, 5 + kBegin.size()), "old\r\n" + kBegin);
      EXPECT_EQ(g_.MailLogText.substr(g_.MailLogText.size() - kEnd.size()), kEnd);
    } else {
      EXPECT_EQ(g_.MailLogText, c.cleared ? "" : c.before);
    }
  }
  g_.bWriteLog = false;
  g_.MailLogText = "old";
  RunAlarm();
  EXPECT_EQ(g_.MailLogText, "");
}

TEST_F(AlarmActions, TheProgramRunsWithItsArgumentsAndNotAgainWhileItRuns) {
  // The script notes its arguments, then waits for its fifo to be written,
  // so the test decides when it ends.
  const std::string fifo = root_ + "/go";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string notes = root_ + "/notes";
  {
    std::ofstream s(g_.RunProgramExeFullFileName);
    s << "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\" >> '" << notes << "'; done\necho end >> '" << notes
      << "'\nread x < '" << fifo << "'\n";
  }
  chmod(g_.RunProgramExeFullFileName.c_str(), 0755);
  g_.bSavePicture = false;
  g_.bRunProgram = true;
  g_.RunOnce = false;
  g_.bWriteLog = true;
  g_.ProgramRunParameter = "one \"two words\" 'it''s' $HOME;rm";
  RunAlarm();
  const pid_t first = Alarm().ProgramLauncher().LastPid();
  ASSERT_GT(first, 0);
  RunAlarm();
  RunAlarm();
  EXPECT_EQ(Alarm().ProgramLauncher().LastPid(), first) << "not started again while it runs";
  EXPECT_TRUE(Alarm().ProgramLauncher().Running());
  {
    std::ofstream(fifo) << "go\n";
  }
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_EQ(ReadFile(notes), "[one]\n[two words]\n[its]\n[$HOME;rm]\nend\n");
  EXPECT_NE(Log().find("[Run Program]"), std::string::npos);

  // Run once: the first alarm switches the action off, and its own block
  // no longer lists the program.
  g_.RunOnce = true;
  g_.RunProgramExeFullFileName = "/bin/true";
  std::filesystem::remove(g_.LogPath + "AlarmLogFile.txt");
  RunAlarm();
  EXPECT_FALSE(g_.bRunProgram);
  EXPECT_EQ(Log().find("Run Program"), std::string::npos);
  const pid_t second = Alarm().ProgramLauncher().LastPid();
  EXPECT_NE(second, first);
  if (second > 0) waitpid(second, &status, 0);
}

TEST(SplitParameters, ReadsLikeACommandLineWithoutExpansion) {
  struct Case {
    const char* text;
    std::vector<std::string> args;
  };
  for (const Case& c : {Case{"", {}}, Case{"  a  b ", {"a", "b"}}, Case{"\"a b\" c", {"a b", "c"}},
                        Case{"'a \"b' c", {"a \"b", "c"}}, Case{"a\\ b", {"a b"}}, Case{"\"a\\\"b\"", {"a\"b"}},
                        Case{"'$(x)' `y` *", {"$(x)", "`y`", "*"}}, Case{"\"\"", {""}}, Case{"\"open", {"open"}}}) {
    EXPECT_EQ(alarms::SplitParameters(c.text), c.args) << c.text;
  }
}

TEST_F(AlarmActions, TheSoundPlaysOnceAndEndsWithTheMotion) {
  mg::ff::RegisterFfmpegFilters();
  mg::ff::AudioRenderer::ForceNullOutput(true);
  auto scheduler = std::make_shared<mg::ManualScheduler>();
  soundScheduler_ = scheduler;
  std::filesystem::create_directories(exe_ + "AlarmSound");
  std::filesystem::copy_file(VORIX_SOURCE_DIR "/assets/AlarmSound/AlarmSound.wav", g_.PlaySoundFullFileName);
  g_.bSavePicture = false;
  g_.bPlaySound = true;
  RunAlarm();
  EXPECT_TRUE(Alarm().MediaPlayer2().Playing());
  const auto graph = Alarm().MediaPlayer2().Graph();
  RunAlarm();
  EXPECT_EQ(Alarm().MediaPlayer2().Graph(), graph) << "a sound still playing is not restarted";
  scheduler->Pump(2);
  // A frame without motion ends it.
  Frame(0);
  EXPECT_FALSE(Alarm().MediaPlayer2().Playing());
  EXPECT_FALSE(Alarm().MediaPlayer2().IsOpen());
  // A missing sound file is skipped.
  std::filesystem::remove(g_.PlaySoundFullFileName);
  RunAlarm();
  EXPECT_FALSE(Alarm().MediaPlayer2().IsOpen());
  mg::ff::AudioRenderer::ForceNullOutput(false);
}

}  // namespace
