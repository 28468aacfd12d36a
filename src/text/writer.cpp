#include "text/writer.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>

#include "text/fields.h"
#include "text/format.h"
#include "text/open_files.h"
#include "text/shown.h"
#include "text/stops.h"

namespace diffboot::text {
namespace {

// One record being built: the text so far and the current column (0-based).
// Skipped columns become blanks only when something is written after them.
struct Builder {
  std::string text;
  std::size_t column = 0;
  const Item* next;
  const Item* last;

  void put(const std::string& field) {
    if (column > text.size()) text.resize(column, ' ');
    text += field;
    column = text.size();
  }
};

[[noreturn]] void wrong_item() { throw std::invalid_argument("record item does not match its descriptor"); }

template <typename T>
const T& item_as(const Item& item) {
  const T* value = std::get_if<T>(&item);
  if (value == nullptr) wrong_item();
  return *value;
}

void put_item(const Descriptor& d, const Item& item, Builder& b) {
  switch (d.edit) {
    case Edit::a: b.put(std::string(item_as<std::string_view>(item))); break;
    case Edit::i: b.put(format_integer(d.width, item_as<std::int32_t>(item))); break;
    case Edit::f: b.put(format_fixed(d.width, d.decimals, item_as<double>(item))); break;
    case Edit::es: b.put(format_scientific(d.width, d.decimals, item_as<double>(item))); break;
    case Edit::x:
    case Edit::group: break;
  }
}

// Walks a group; returns false once a data descriptor is met with no item
// left, which ends the record.
bool walk(const Descriptor& group, Builder& b) {
  for (int r = 0; r < group.repeat; ++r) {
    for (const Descriptor& d : group.items) {
      if (d.edit == Edit::group) {
        if (!walk(d, b)) return false;
      } else if (d.edit == Edit::x) {
        b.column += static_cast<std::size_t>(d.width);
      } else {
        for (int k = 0; k < d.repeat; ++k) {
          if (b.next == b.last) return false;
          put_item(d, *b.next++, b);
        }
      }
    }
  }
  return true;
}

std::string destination_name(int destination) {
  if (destination == console) return "standard output";
  const OpenFile* file = find_unit(destination);
  return file == nullptr ? "unit " + std::to_string(destination) : "file \"" + file->name + "\"";
}

[[noreturn]] void write_failed(int destination, int error) {
  std::string report = "Output error: cannot write " + destination_name(destination);
  if (error != 0) report += std::string(": ") + std::strerror(error);
  fatal_io_error(report);
}

// Writes `text` as one record: what it holds from outside the program is
// shown escaped (shown.h), so that it can neither end the record nor reach a
// terminal as a command.
void emit(int destination, std::string_view text) {
  std::string record = shown(text) + "\r\n";
  if (destination == console) {
    std::ostream& out = *console_state().streams.out;
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
    out.flush();
    if (!out) write_failed(destination, 0);
    return;
  }
  OpenFile* file = find_unit(destination);
  if (file == nullptr || file->mode == FileMode::read) write_failed(destination, EBADF);
  errno = 0;
  if (std::fwrite(record.data(), 1, record.size(), file->file) != record.size()) write_failed(destination, errno);
}

}  // namespace

void write_record(int destination, std::string_view format, std::initializer_list<Item> items) {
  const Descriptor root = parse_format(format);
  Builder b{{}, 0, items.begin(), items.end()};
  walk(root, b);
  if (b.next != b.last) throw std::invalid_argument("more record items than the format holds");
  emit(destination, b.text);
}

void write_list(int destination, std::initializer_list<ListItem> items) {
  std::string record = " ";
  for (const ListItem& item : items) {
    if (const auto* text = std::get_if<std::string_view>(&item)) {
      record += *text;
    } else {
      record += format_integer(12, std::get<std::int32_t>(item));
    }
  }
  emit(destination, record);
}

}  // namespace diffboot::text
