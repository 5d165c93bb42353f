#include "photofiles/MetadataEdit.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include <exiv2/exiv2.hpp>

namespace zumo {
namespace {

// exiv2's XMP toolkit keeps global state (its namespace registry, which every packet naming
// a new namespace adds to), and reading EXIF can use it too (a TIFF-style XMLPacket tag is
// parsed as XMP). So all exiv2 work here is serialised by this lock: a save takes it for
// about a millisecond. The toolkit is set up once, before the first use, with a lock of its
// own for namespace registration.
std::mutex& Exiv2Lock() {
  static std::mutex lock;
  return lock;
}

void LockXmpNamespaces(void* data, bool lock) {
  auto* mutex = static_cast<std::recursive_mutex*>(data);
  if (lock)
    mutex->lock();
  else
    mutex->unlock();
}

// exiv2 set up once per process: its log silenced (bad metadata is expected here and handled
// by dropping it), the XMP toolkit initialised. Whether XMP can be read.
bool Exiv2Ready() {
  static std::recursive_mutex namespace_lock;
  static const bool xmp_ready = [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    return Exiv2::XmpParser::initialize(LockXmpNamespaces, &namespace_lock);
  }();
  return xmp_ready;
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }
bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

template <class Data, class Predicate>
void EraseIf(Data& data, Predicate predicate) {
  for (auto it = data.begin(); it != data.end();) it = predicate(*it) ? data.erase(it) : std::next(it);
}

// Every entry of the key: a damaged or hostile block can hold a tag twice, and a reader
// might take either.
void EraseKey(Exiv2::ExifData& exif, const char* key) {
  EraseIf(exif, [key](const Exiv2::Exifdatum& datum) { return datum.key() == key; });
}

const Exiv2::Exifdatum* FindKey(const Exiv2::ExifData& exif, const char* key) {
  const auto it = exif.findKey(Exiv2::ExifKey(key));
  return it == exif.end() ? nullptr : &*it;
}

// The key with this one value, whatever entries of it there were.
void Set(Exiv2::ExifData& exif, const char* key, const Exiv2::Value& value) {
  EraseKey(exif, key);
  exif.add(Exiv2::ExifKey(key), &value);
}

void SetShort(Exiv2::ExifData& exif, const char* key, std::uint16_t value) {
  Set(exif, key, Exiv2::UShortValue(value));
}

void SetLong(Exiv2::ExifData& exif, const char* key, std::uint32_t value) {
  Set(exif, key, Exiv2::ULongValue(value));
}

void SetAscii(Exiv2::ExifData& exif, const char* key, const std::string& value) {
  Set(exif, key, Exiv2::AsciiValue(value));
}

// The local time now as EXIF writes times, and its offset from UTC as OffsetTime does.
std::pair<std::string, std::string> LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  std::array<char, 32> time{};
  std::strftime(time.data(), time.size(), "%Y:%m:%d %H:%M:%S", &local);
  // Real offsets lie within a day either way.
  const int minutes = static_cast<int>(std::clamp(local.tm_gmtoff / 60, -1439L, 1439L));
  std::array<char, 32> offset{};
  std::snprintf(offset.data(), offset.size(), "%c%02d:%02d", minutes < 0 ? '-' : '+', std::abs(minutes) / 60,
                std::abs(minutes) % 60);
  return {time.data(), offset.data()};
}

// The groups of the TIFF structure itself; every other group exiv2 reports is part of a
// maker note (its IFDs and the binary arrays inside them).
bool IsMakerNotePart(const Exiv2::Exifdatum& datum) {
  static constexpr std::string_view kStandardGroups[] = {
      "Image", "Image2", "Image3", "Photo", "Iop", "GPSInfo", "MpfInfo", "Thumbnail", "SubThumb1", "PanasonicRaw"};
  const std::string group = datum.groupName();
  if (Exiv2::ExifTags::isMakerGroup(group)) return true;
  for (const std::string_view standard : kStandardGroups)
    if (group == standard) return false;
  return !StartsWith(group, "SubImage");
}

void DropMakerNote(Exiv2::ExifData& exif) {
  EraseKey(exif, "Exif.Photo.MakerNote");
  EraseIf(exif, IsMakerNotePart);
}

// A maker note exiv2 read tag by tag is written anew from those tags. One it could not read
// would be copied as bytes to a new place, where the offsets inside it (counted from the
// start of the TIFF structure by most cameras) point at the wrong data: it is dropped.
void DropUnreadMakerNote(Exiv2::ExifData& exif) {
  bool read = false;
  for (const auto& datum : exif)
    if (IsMakerNotePart(datum) && datum.groupName() != "MakerNote") read = true;
  if (!read) DropMakerNote(exif);
}

void DropThumbnail(Exiv2::ExifData& exif) {
  Exiv2::ExifThumb(exif).erase();
  EraseIf(exif, [](const Exiv2::Exifdatum& datum) { return datum.groupName() == "Thumbnail"; });
}

// Previews and thumbnails anywhere, maker notes included: what their tags are named, and
// large byte strings that hold a JPEG picture.
void DropPreviews(Exiv2::ExifData& exif) {
  EraseIf(exif, [](const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName(), tag = datum.tagName();
    for (const std::string_view word : {"Preview", "Thumbnail"})
      if (Contains(group, word) || Contains(tag, word)) return true;
    const Exiv2::TypeId type = datum.typeId();
    if (datum.size() < 4096 || (type != Exiv2::undefined && type != Exiv2::unsignedByte)) return false;
    std::vector<Exiv2::byte> bytes(datum.size());
    datum.copy(bytes.data(), Exiv2::littleEndian);
    return bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
  });
}

// The corrections every saved picture needs, before any question of size.
void CorrectExif(Exiv2::ExifData& exif, const MetadataSaveOptions& options) {
  SetShort(exif, "Exif.Image.Orientation", 1);
  if (options.width > 0 && options.height > 0) {
    const auto width = static_cast<std::uint32_t>(options.width), height = static_cast<std::uint32_t>(options.height);
    SetLong(exif, "Exif.Photo.PixelXDimension", width);
    SetLong(exif, "Exif.Photo.PixelYDimension", height);
    // Not meant for JPEG files, but where a writer put them they are corrected too.
    if (FindKey(exif, "Exif.Image.ImageWidth")) SetLong(exif, "Exif.Image.ImageWidth", width);
    if (FindKey(exif, "Exif.Image.ImageLength")) SetLong(exif, "Exif.Image.ImageLength", height);
  }
  // What TIFF files keep in IFD0 and a saved file carries on its own, as PhotoMetadata's
  // other blocks: stale copies here (an XMP packet that still says the picture is turned,
  // a profile the pixels are no longer in) go.
  for (const char* key : {"Exif.Image.XMLPacket", "Exif.Image.IPTCNAA", "Exif.Image.ImageResources",
                          "Exif.Image.InterColorProfile"})
    EraseKey(exif, key);
  // Positions in the loaded picture, wrong after a turn or a crop.
  EraseKey(exif, "Exif.Photo.SubjectArea");
  EraseKey(exif, "Exif.Photo.SubjectLocation");

  // DateTime is when the file was last changed; SubSecTime and OffsetTime belong to it.
  // The times of the shot and of its digitising, with theirs, stay.
  EraseKey(exif, "Exif.Photo.SubSecTime");
  if (options.now.empty()) {
    const auto [time, offset] = LocalTimeNow();
    SetAscii(exif, "Exif.Image.DateTime", time);
    SetAscii(exif, "Exif.Photo.OffsetTime", offset);
  } else {
    SetAscii(exif, "Exif.Image.DateTime", options.now);
    EraseKey(exif, "Exif.Photo.OffsetTime");
  }
  if (options.software.empty())
    EraseKey(exif, "Exif.Image.Software");
  else
    SetAscii(exif, "Exif.Image.Software", options.software);

  if (options.srgb)
    SetShort(exif, "Exif.Photo.ColorSpace", 1);
  else if (FindKey(exif, "Exif.Photo.ColorSpace"))
    SetShort(exif, "Exif.Photo.ColorSpace", 0xFFFF);
  // "R98" says sRGB (and "R03" Adobe RGB): an index that disagrees with the pixels goes.
  if (const Exiv2::Exifdatum* index = FindKey(exif, "Exif.Iop.InteroperabilityIndex");
      index && (index->toString() == "R98") != options.srgb)
    EraseKey(exif, "Exif.Iop.InteroperabilityIndex");

  if (options.strip_location) {
    EraseIf(exif, [](const Exiv2::Exifdatum& datum) { return datum.groupName() == "GPSInfo"; });
    EraseKey(exif, "Exif.Image.GPSTag");
  }
  DropThumbnail(exif);
  DropUnreadMakerNote(exif);
}

// The TIFF structure of the data in the given byte order, if it fits a JPEG APP1 segment.
// exiv2 itself leaves out what a JPEG's EXIF does not hold (strip offsets, the IFDs of
// further pictures) and, when the result is too large, large previews and tags.
std::optional<std::vector<std::uint8_t>> EncodeFitting(const Exiv2::ExifData& exif, Exiv2::ByteOrder order) {
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, order, exif);
  if (blob.empty() || blob.size() > kMaxSavedExifBytes) return std::nullopt;
  return std::vector<std::uint8_t>(blob.begin(), blob.end());
}

std::vector<std::uint8_t> ExifForSave(const std::vector<std::uint8_t>& block, const MetadataSaveOptions& options) {
  static constexpr std::uint8_t kIntel[] = {'I', 'I', 42, 0}, kMotorola[] = {'M', 'M', 0, 42};
  if (block.size() < 8 || block.size() > kMaxExifBytes ||
      (!std::equal(kIntel, kIntel + 4, block.begin()) && !std::equal(kMotorola, kMotorola + 4, block.begin())))
    return {};
  try {
    Exiv2::ExifData exif;
    const Exiv2::ByteOrder order =
        Exiv2::ExifParser::decode(exif, block.data(), static_cast<std::uint32_t>(block.size()));
    if (order == Exiv2::invalidByteOrder || exif.empty()) return {};
    CorrectExif(exif, options);
    if (auto fitting = EncodeFitting(exif, order)) return std::move(*fitting);
    DropPreviews(exif);
    if (auto fitting = EncodeFitting(exif, order)) return std::move(*fitting);
    DropMakerNote(exif);
    if (auto fitting = EncodeFitting(exif, order)) return std::move(*fitting);
  } catch (...) {
    // exiv2's errors (Exiv2::Error, renamed between versions) and the standard library's.
  }
  return {};
}

void SetXmpIfPresent(Exiv2::XmpData& xmp, const char* key, const std::string& value, bool& changed) {
  const auto it = xmp.findKey(Exiv2::XmpKey(key));
  if (it == xmp.end()) return;
  const Exiv2::XmpTextValue text(value);
  it->setValue(&text);
  changed = true;
}

std::string XmpForSave(const std::string& packet, const MetadataSaveOptions& options) {
  if (packet.empty() || packet.size() > kMaxXmpBytes || !Exiv2Ready()) return {};
  try {
    Exiv2::XmpData xmp;
    if (Exiv2::XmpParser::decode(xmp, packet) != 0 || xmp.empty()) return {};
    bool changed = false;
    const auto erase_if = [&](auto predicate) {
      const long before = xmp.count();
      EraseIf(xmp, predicate);
      changed = changed || xmp.count() != before;
    };
    SetXmpIfPresent(xmp, "Xmp.tiff.Orientation", "1", changed);
    if (options.width > 0 && options.height > 0) {
      const std::string width = std::to_string(options.width), height = std::to_string(options.height);
      SetXmpIfPresent(xmp, "Xmp.exif.PixelXDimension", width, changed);
      SetXmpIfPresent(xmp, "Xmp.exif.PixelYDimension", height, changed);
      SetXmpIfPresent(xmp, "Xmp.tiff.ImageWidth", width, changed);
      SetXmpIfPresent(xmp, "Xmp.tiff.ImageLength", height, changed);
    }
    SetXmpIfPresent(xmp, "Xmp.exif.ColorSpace", options.srgb ? "1" : "65535", changed);
    // The profile the photo's file carried, by name: gone when the pixels went to sRGB.
    if (options.srgb)
      erase_if([](const Exiv2::Xmpdatum& datum) { return datum.key() == "Xmp.photoshop.ICCProfile"; });
    erase_if([](const Exiv2::Xmpdatum& datum) { return StartsWith(datum.key(), "Xmp.xmp.Thumbnails"); });
    if (options.strip_location) {
      // Top-level properties and fields of structures (such as a location's coordinates).
      erase_if([](const Exiv2::Xmpdatum& datum) {
        const std::string key = datum.key();
        return StartsWith(key, "Xmp.exif.GPS") || StartsWith(key, "Xmp.exifEX.GPS") || Contains(key, "exif:GPS") ||
               Contains(key, "exifEX:GPS");
      });
    }
    if (xmp.empty()) return {};
    if (!changed) return packet;
    std::string out;
    if (Exiv2::XmpParser::encode(out, xmp) != 0) return {};
    return out;
  } catch (...) {
  }
  return {};
}

// The XMP packet with the IPTC datasets' fields added where it has none of its own, for a
// kind of file that has no place for IPTC (keywords, caption, credit ... would be lost). A
// packet or datasets that cannot be read leave the packet as it was.
std::string WithIptcFields(const std::string& packet, const std::vector<std::uint8_t>& iptc) {
  if (iptc.empty() || iptc.size() > kMaxIptcBytes || packet.size() > kMaxXmpBytes || !Exiv2Ready()) return packet;
  try {
    Exiv2::IptcData datasets;
    if (Exiv2::IptcParser::decode(datasets, iptc.data(), static_cast<std::uint32_t>(iptc.size())) != 0 ||
        datasets.empty())
      return packet;
    Exiv2::XmpData from_iptc;
    Exiv2::copyIptcToXmp(datasets, from_iptc);
    Exiv2::XmpData xmp;
    if (!packet.empty() && Exiv2::XmpParser::decode(xmp, packet) != 0) return packet;
    bool added = false;
    for (const Exiv2::Xmpdatum& datum : from_iptc) {
      if (xmp.findKey(Exiv2::XmpKey(datum.key())) != xmp.end()) continue;
      xmp.add(datum);
      added = true;
    }
    std::string out;
    if (!added || Exiv2::XmpParser::encode(out, xmp) != 0 || out.size() > kMaxXmpBytes) return packet;
    return out;
  } catch (...) {
  }
  return packet;
}

}  // namespace

PhotoMetadata MetadataForSave(const PhotoMetadata& loaded, const MetadataSaveOptions& options) noexcept {
  PhotoMetadata saved;
  try {
    if (!options.srgb) saved.colour = loaded.colour;
    if (options.strip_all) return saved;
    Exiv2Ready();
    const std::lock_guard lock(Exiv2Lock());
    saved.exif = ExifForSave(loaded.exif, options);
    saved.xmp = XmpForSave(loaded.xmp, options);
    if (options.iptc_into_xmp) saved.xmp = WithIptcFields(saved.xmp, loaded.iptc);
    // Reading a packet registers each namespace it names for good, and every later call
    // searches them all: a batch of files naming thousands of them would make each save
    // slower than the last. Nothing here needs them once the packet is written.
    Exiv2::XmpProperties::unregisterNs();
    if (loaded.iptc.size() <= kMaxIptcBytes) saved.iptc = loaded.iptc;
  } catch (...) {
    // Out of memory copying a block: what was made so far goes out.
  }
  return saved;
}

}  // namespace zumo
