#include "telnet_client.h"

#include "net_errors.h"

namespace qz::telnet {

class TTelnetClient::TTelnetReadThread : public TWorkerThread {
 public:
  explicit TTelnetReadThread(TTelnetClient& client) : client_(client) {}
  ~TTelnetReadThread() override { Release(); }

 protected:
  void Run() override { client_.ReadStep(*this); }

 private:
  TTelnetClient& client_;
};

TTelnetClient::TTelnetClient() {
  Port = 23;
  parser_.OnReply = [this](const std::string& reply) { Write(reply); };
  parser_.OnCommand = [this](TTelnetCommand command) {
    if (OnTelnetCommand) OnTelnetCommand(command);
  };
  parser_.OnIacSeen = [this] { iacSeen_ = true; };
}

TTelnetClient::~TTelnetClient() {
  if (Connected()) Disconnect();
  reader_.reset();
}

void TTelnetClient::Connect(int timeoutMs) {
  if (Connected()) throw EAlreadyConnected();
  // The reader left behind by a peer close ends here, before its socket goes.
  reader_.reset();
  parser_.Reset();
  iacSeen_ = false;
  TTcpClient::Connect(timeoutMs);
  try {
    if (OnConnect) OnConnect();
    reader_ = std::make_unique<TTelnetReadThread>(*this);
    reader_->Start();
  } catch (const ESocketError&) {
    throw ETelnetConnectError();
  }
}

void TTelnetClient::ReadStep(TTelnetReadThread& thread) {
  const std::string text = parser_.Parse(ReadAvailable());
  if (!OnDataAvailable) throw ETelnetNoDataHandler();
  thread.Synchronize([this, &text] { OnDataAvailable(text); });
  CheckForDisconnect(true, false);
}

void TTelnetClient::Disconnect() {
  if (reader_) {
    reader_->Terminate();
    reader_->CancelHandOvers();
  }
  iacSeen_ = false;
  TTcpClient::Disconnect();
  if (OnDisconnect) OnDisconnect();
  reader_.reset();
  ReleaseSocket();
}

void TTelnetClient::SendCh(char character) {
  if (character == '\r')
    Write(iacSeen_ ? "\r" : "\r\n");
  else if (static_cast<uint8_t>(character) == tn::IAC)
    Write("\xFF\xFF");
  else
    Write(std::string(1, character));
}

std::string TTelnetClient::ReaderEndText() const { return reader_ ? reader_->ExceptionText() : std::string(); }

}  // namespace qz::telnet
