#include "echo_filter.h"

#include <linux/filter.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>

namespace qz::icmp {
namespace {

// <linux/icmp.h>'s ICMP_FILTER option, whose bit mask names the types the
// socket does not receive; that header redefines <netinet/ip_icmp.h>'s names.
constexpr int kIcmpFilterOption = 1;
struct TIcmpFilter {
  uint32_t Blocked;
};

}  // namespace

bool FilterToOwnReplies(qz::TSocketHandle handle, uint16_t identifier) {
  const TIcmpFilter types{~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_TIME_EXCEEDED))};
  const bool typesFiltered = setsockopt(handle, SOL_RAW, kIcmpFilterOption, &types, sizeof types) == 0;
  // The packet starts with the IP header, whose length the first octet says.
  sock_filter program[] = {
      BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),                       // X: the IP header's length
      BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                        // the ICMP type
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, 2),
      BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                        // an echo reply's identifier
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 2, 3),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_DEST_UNREACH, 1, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_TIME_EXCEEDED, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, 0xFFFF),                            // passed whole
      BPF_STMT(BPF_RET | BPF_K, 0),                                 // not ours
  };
  const sock_fprog filter{static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
  const bool ownFiltered = setsockopt(handle, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter) == 0;
  return typesFiltered && ownFiltered;
}

}  // namespace qz::icmp
