#pragma once
// A media player for one sound file: the file rendered into a filter graph
// (FFmpeg source and decoder, the ALSA audio renderer), played once to its
// end. It answers the few calls a player control offers: a file name,
// open, play, whether it still plays, stop and close.
#include <memory>
#include <string>

namespace mg {

class FilterGraph;
class Scheduler;

class SoundPlayer {
public:
  // Without a scheduler the graph runs on its own threads; a test gives a
  // manual one and pumps it.
  explicit SoundPlayer(std::shared_ptr<Scheduler> scheduler = nullptr);
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }

  // Builds the graph for the file named (closing one built before); false
  // when the file cannot be rendered.
  bool Open();
  // Starts playing from the start; false when nothing is open.
  bool Play();
  // True from Play until the end of the sound, Stop or Close.
  bool Playing();
  void Stop();
  void Close();
  bool IsOpen() const { return graph_ != nullptr; }
  // The graph while one is open (tests pump and look inside it).
  std::shared_ptr<FilterGraph> Graph() const { return graph_; }

private:
  std::shared_ptr<Scheduler> scheduler_;
  std::shared_ptr<FilterGraph> graph_;
  std::string fileName_;
  bool running_ = false;
};

}  // namespace mg
