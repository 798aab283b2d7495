// A handle on one registration with a filter; disconnecting it stops further calls to that
// callback.
#ifndef MESSAGE_FILTERS__CONNECTION_H_
#define MESSAGE_FILTERS__CONNECTION_H_

#include <functional>

namespace message_filters
{

class noncopyable
{
protected:
  noncopyable() = default;
  ~noncopyable() = default;
  noncopyable(const noncopyable &) = delete;
  noncopyable & operator=(const noncopyable &) = delete;
};

class Connection
{
public:
  using VoidDisconnectFunction = std::function<void (void)>;
  using WithConnectionDisconnectFunction = std::function<void (const Connection &)>;

  Connection() = default;
  Connection(const VoidDisconnectFunction & func)  // NOLINT: implicit as in Humble
  : void_disconnect_(func)
  {
  }

  // Safe to call more than once and on a default-constructed connection.
  void disconnect()
  {
    if (void_disconnect_) {
      void_disconnect_();
    } else if (connection_disconnect_) {
      connection_disconnect_(*this);
    }
  }

private:
  VoidDisconnectFunction void_disconnect_;
  WithConnectionDisconnectFunction connection_disconnect_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__CONNECTION_H_
