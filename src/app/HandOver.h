#pragma once
// The hand-over channel between instances: a named 1024-byte shared memory
// block holding one zero-terminated text, and a named manual-reset event that
// is pulsed when a text has been written. The first instance listens on it;
// every later start writes its command line into it and ends.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "backup/RunQueue.h"
#include "win/UniqueHandle.h"

namespace ns {

inline constexpr char InstanceMutexName[] = "NightshelfMutex-088FA840-B10D-11D6-BC38-016067709674";
inline constexpr char HandOverMappingName[] = "NightshelfMemory-088FA840-B10D-11D6-BC38-016067709674";
inline constexpr char HandOverEventName[] = "NightshelfEvent-088FA840-B10D-11D6-BC38-016067709674";
// Held by a later instance from the moment it waits for the block to be free
// until its text has been taken: the scheduler starts every task that is due
// at once, and two senders writing the one block would lose a text.
inline constexpr char HandOverSenderMutexName[] = "NightshelfSender-088FA840-B10D-11D6-BC38-016067709674";
inline constexpr DWORD HandOverMappingSize = 1024;

struct THandOverChannel {
  UniqueHandle Mapping;
  UniqueHandle Event;
};

// Creates or opens the mapping and the event; throws the system error when
// either cannot be had.
void OpenChannel(THandOverChannel& channel);
void CloseChannel(THandOverChannel& channel);

// Writes the text (cut to what the block holds) and pulses the event.
void SendHandOver(THandOverChannel& channel, const std::string& text);

// The block's two sides. A pulse can reach the listener while a sender is
// still writing (another instance stopping its listener pulses the same
// event), so the writer empties the first byte, writes the rest of the text
// with its zero, and writes the first byte last: until then the block reads
// as empty, never as a shorter text. The reader takes the first byte before
// the rest, and empties it again once it has the text. `block` is
// HandOverMappingSize bytes; TakeHandOverText is false for an empty block.
void WriteHandOverText(char* block, std::string_view text);
bool TakeHandOverText(char* block, std::string& text);

// Hands the texts over one after another, each only once the one before has
// been taken: the first instance clears the block when it has read a text, so
// a text is not overwritten before it was read, and the pulse is repeated
// while the listener is busy and not waiting. Other senders wait on the
// sender mutex meanwhile (at most `limitMs` for each text of the senders
// before them). Gives up on a text that is not taken within `limitMs`; true
// when every text was taken.
bool HandOver(THandOverChannel& channel, const std::vector<std::string>& texts, DWORD limitMs = 10000);

// The first instance's side: a thread that waits for hand-overs and turns
// them into queued tasks and messages to the main window.
//
// Every instance starts a listener before it knows whether it is the first,
// and a later instance's own pulse wakes it too. So a listener ignores every
// hand-over until Accept() gives it the main window; only then does it queue,
// post and clear the block. A pulse that finds the block empty (another
// instance stopping its listener, or a text already taken) is ignored.
class THandOverListener {
 public:
  explicit THandOverListener(std::shared_ptr<TRunQueue> queue);
  ~THandOverListener();

  // Opens the channel and starts the thread.
  void Start();
  // From now on hand-overs are taken and posted to `mainWindow`.
  void Accept(HWND mainWindow);
  // Sets the stop flag, wakes the thread through an event of its own and
  // waits for it to end (briefly: it never blocks elsewhere), pulses the
  // named event as the other instances expect, and closes the channel.
  void Stop();

  THandOverChannel& Channel() { return channel_; }

 private:
  struct TShared;
  static DWORD WINAPI HandOverListener(void* parameter);

  THandOverChannel channel_;
  std::shared_ptr<TShared> shared_;
  UniqueHandle thread_;
};

}  // namespace ns
