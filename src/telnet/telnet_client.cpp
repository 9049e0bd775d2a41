#include "telnet_client.h"

#include <algorithm>
#include <utility>

#include "net_errors.h"

namespace qz::telnet {

TTelnetClient::TTelnetClient() {
  Port = 23;
  parser_.OnReply = [this](const std::string& reply) { Write(reply); };
  parser_.OnCommand = [this](TTelnetCommand command) {
    if (OnTelnetCommand) OnTelnetCommand(command);
  };
  parser_.OnIacSeen = [this] { iacSeen_ = true; };
  parser_.OnSubnegotiationDropped = [this](uint8_t option, size_t length) {
    if (OnSubnegotiationDropped) OnSubnegotiationDropped(option, length);
  };
}

TTelnetClient::~TTelnetClient() {
  if (Connected()) Disconnect();
  EndReader();
}

void TTelnetClient::Connect(int timeoutMs) {
  if (Connected()) throw EAlreadyConnected();
  // The reader left behind by a peer close ends here, before its socket goes.
  EndReader();
  parser_.Reset();
  iacSeen_ = false;
  TTcpClient::Connect(timeoutMs);
  if (OnConnect) OnConnect();
  delivery_ = std::make_shared<TDelivery>();
  reader_ = std::make_unique<TWorkerThread>([this] { ReadStep(); });
  reader_->Start();
}

void TTelnetClient::EndReader() {
  // Ended before the pointer is cleared: the reader uses it to the last.
  if (reader_) reader_->Release();
  reader_.reset();
}

void TTelnetClient::ReadStep() {
  if (!OnDataAvailable) throw ETelnetNoDataHandler();
  std::string text;
  try {
    text = parser_.Parse(ReadAvailable());
    CheckForDisconnect(true, false);
  } catch (const std::exception& error) {
    Deliver(text, error.what());
    throw;
  }
  Deliver(text, std::nullopt);
}

void TTelnetClient::Deliver(const std::string& text, std::optional<std::string> end) {
  const std::shared_ptr<TDelivery> delivery = delivery_;
  std::unique_lock lock(delivery->mutex);
  delivery->room.wait(lock, [&] { return delivery->waiting.size() < kMostTextWaiting || delivery->closed; });
  if (delivery->closed) return;
  delivery->waiting += text;
  if (end) delivery->end = std::move(end);
  if (std::exchange(delivery->posted, true)) return;
  reader_->HandOverLater([this] { DrainDelivery(); });
}

void TTelnetClient::DrainDelivery() {
  const std::shared_ptr<TDelivery> delivery = delivery_;
  std::string piece;
  std::optional<std::string> end;
  {
    std::lock_guard lock(delivery->mutex);
    const size_t length = std::min(delivery->waiting.size(), kMostTextPerHandOver);
    piece = delivery->waiting.substr(0, length);
    delivery->waiting.erase(0, length);
    if (delivery->waiting.empty()) {
      delivery->posted = false;
      end = std::exchange(delivery->end, std::nullopt);
    } else if (reader_) {
      // The rest comes in later hand-overs, so the window handles its other
      // events in between.
      reader_->HandOverLater([this] { DrainDelivery(); });
    }
    delivery->room.notify_all();
  }
  OnDataAvailable(piece);
  if (end && OnReaderEnd) OnReaderEnd(*end);
}

void TTelnetClient::Disconnect() {
  if (reader_) {
    reader_->Terminate();
    reader_->CancelHandOvers();
  }
  if (delivery_) {
    std::lock_guard lock(delivery_->mutex);
    delivery_->closed = true;
    delivery_->room.notify_all();
  }
  iacSeen_ = false;
  TTcpClient::Disconnect();
  if (OnDisconnect) OnDisconnect();
  EndReader();
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
