#pragma once
// Where an output file named by the user goes. Most names take a new file
// that replaces what stands there (staging.h); a device, a descriptor of
// this process or anything the system keeps in /dev or /proc is written in
// place instead, since replacing it would destroy it.
#include <string>

namespace diffboot::staging {

enum class Placement {
  replace,   // write a new file and give it the name
  in_place,  // write into what the name is: a character device (a terminal,
             // /dev/null), one of this process's own descriptors
             // (/dev/stdout, /dev/fd/N, /proc/self/fd/N) or an entry of
             // /dev or /proc
  refuse,    // a block device or a socket, or a system entry that cannot be opened
};

struct OutputPlace {
  Placement placement = Placement::replace;
  int fd = -1;          // in_place: open for writing, the caller's to close
  std::string problem;  // refuse: why, such as "it is a block device"
};

// Decides where output to `path` goes, opening it when it is written in
// place (a regular file reached through /dev or /proc is emptied first).
OutputPlace place_output(const std::string& path);

// Writes all of `content` to `fd`; 0, or the errno of the failed write.
int write_all(int fd, std::string_view content);

}  // namespace diffboot::staging
