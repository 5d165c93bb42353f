#include "photofiles/JpegMetadata.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string_view>

namespace zumo {
namespace {

constexpr std::uint8_t kApp1 = 0xE1, kApp2 = 0xE2, kApp13 = 0xED;
// The most payload one marker segment holds (its length field counts itself too).
constexpr std::size_t kMaxSegmentPayload = 65533;

constexpr std::string_view kExifHeader{"Exif\0\0", 6};
constexpr std::string_view kXmpHeader{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kIccHeader{"ICC_PROFILE\0", 12};
constexpr std::string_view kPhotoshopHeader{"Photoshop 3.0\0", 14};
constexpr std::uint16_t kIptcResource = 0x0404;

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

std::uint32_t BigEndian(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

// The IPTC data of Photoshop's image resources (a list of "8BIM" id, padded Pascal name,
// size, padded data); empty when there is none or the list is damaged before it.
std::span<const std::uint8_t> IptcOfPhotoshopBlock(std::span<const std::uint8_t> resources) {
  std::size_t at = 0;
  while (resources.size() - at >= 4 + 2 + 2 + 4) {
    if (std::memcmp(resources.data() + at, "8BIM", 4) != 0) break;
    const std::uint16_t id = static_cast<std::uint16_t>(BigEndian(resources.data() + at + 4, 2));
    at += 6;
    const std::size_t name_field = (1 + std::size_t{resources[at]} + 1) & ~std::size_t{1};  // padded to even
    if (resources.size() - at < name_field + 4) break;
    at += name_field;
    const std::size_t size = BigEndian(resources.data() + at, 4);
    at += 4;
    if (size > resources.size() - at) break;
    if (id == kIptcResource) return resources.subspan(at, size);
    at += size + (size & 1);
    if (at > resources.size()) break;
  }
  return {};
}

// The chunks of an ICC profile spread over APP2 segments, each numbered 1..count.
class IccChunks {
 public:
  void Add(std::span<const std::uint8_t> payload) {
    if (payload.size() < kIccHeader.size() + 2) return Spoil();
    const int sequence = payload[kIccHeader.size()];
    const int count = payload[kIccHeader.size() + 1];
    if (count == 0 || sequence == 0 || sequence > count || (count_ != 0 && count != count_)) return Spoil();
    count_ = count;
    auto& chunk = chunks_[static_cast<std::size_t>(sequence - 1)];
    if (!chunk.empty()) return Spoil();  // the same chunk twice: which one is meant?
    const auto data = payload.subspan(kIccHeader.size() + 2);
    if (data.empty() || total_ + data.size() > kMaxIccBytes) return Spoil();
    chunk.assign(data.begin(), data.end());
    total_ += data.size();
  }

  // The whole profile, or nothing when a chunk is missing or the chunks disagreed.
  std::vector<std::uint8_t> Profile() const {
    std::vector<std::uint8_t> profile;
    if (spoiled_ || count_ == 0) return profile;
    for (int i = 0; i < count_; ++i)
      if (chunks_[static_cast<std::size_t>(i)].empty()) return profile;
    profile.reserve(total_);
    for (int i = 0; i < count_; ++i) profile.insert(profile.end(), chunks_[i].begin(), chunks_[i].end());
    return profile;
  }

 private:
  void Spoil() { spoiled_ = true; }
  std::array<std::vector<std::uint8_t>, 255> chunks_;
  int count_ = 0;
  std::size_t total_ = 0;
  bool spoiled_ = false;
};

void AppendSegment(std::vector<JpegSegment>& segments, std::uint8_t marker, std::string_view header,
                   std::span<const std::uint8_t> body) {
  if (body.empty() || header.size() + body.size() > kMaxSegmentPayload) return;
  JpegSegment segment{marker, {}};
  segment.payload.reserve(header.size() + body.size());
  segment.payload.insert(segment.payload.end(), header.begin(), header.end());
  segment.payload.insert(segment.payload.end(), body.begin(), body.end());
  segments.push_back(std::move(segment));
}

}  // namespace

void ForEachJpegSegment(std::span<const std::uint8_t> data,
                        const std::function<bool(std::uint8_t, std::span<const std::uint8_t>)>& visit) {
  if (data.size() < 2 || data[0] != 0xFF || data[1] != 0xD8) return;
  std::size_t at = 2;  // after SOI
  while (at + 4 <= data.size() && data[at] == 0xFF) {
    const std::uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // the first scan, or the end
    const std::size_t length = BigEndian(data.data() + at + 2, 2);
    if (length < 2 || length > data.size() - at - 2) break;
    if (!visit(marker, data.subspan(at + 4, length - 2))) break;
    at += 2 + length;
  }
}

PhotoMetadata ReadJpegMetadata(std::span<const std::uint8_t> data) noexcept {
  PhotoMetadata metadata;
  try {
    bool exif_seen = false, xmp_seen = false, iptc_seen = false;
    IccChunks icc;
    ForEachJpegSegment(data, [&](std::uint8_t marker, std::span<const std::uint8_t> payload) {
      if (marker == kApp1 && !exif_seen && StartsWith(payload, kExifHeader)) {
        exif_seen = true;
        const auto block = payload.subspan(kExifHeader.size());
        if (block.size() <= kMaxExifBytes) metadata.exif.assign(block.begin(), block.end());
      } else if (marker == kApp1 && !xmp_seen && StartsWith(payload, kXmpHeader)) {
        xmp_seen = true;
        const auto packet = payload.subspan(kXmpHeader.size());
        metadata.xmp.assign(reinterpret_cast<const char*>(packet.data()), packet.size());
      } else if (marker == kApp13 && !iptc_seen && StartsWith(payload, kPhotoshopHeader)) {
        iptc_seen = true;
        const auto iptc = IptcOfPhotoshopBlock(payload.subspan(kPhotoshopHeader.size()));
        if (iptc.size() <= kMaxIptcBytes) metadata.iptc.assign(iptc.begin(), iptc.end());
      } else if (marker == kApp2 && StartsWith(payload, kIccHeader)) {
        icc.Add(payload);
      }
      return true;
    });
    metadata.colour.icc = icc.Profile();
  } catch (const std::bad_alloc&) {
    // Out of memory for a block: the photo loads without its metadata.
    metadata = PhotoMetadata{};
  }
  return metadata;
}

std::vector<JpegSegment> JpegMetadataSegments(const PhotoMetadata& metadata) {
  std::vector<JpegSegment> segments;
  AppendSegment(segments, kApp1, kExifHeader, metadata.exif);
  AppendSegment(segments, kApp1, kXmpHeader,
                std::span(reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()), metadata.xmp.size()));
  if (!metadata.iptc.empty() && metadata.iptc.size() <= kMaxIptcBytes) {
    // One Photoshop resource: "8BIM", its id, an empty name padded to two bytes, the size,
    // the data padded to an even length.
    std::vector<std::uint8_t> resource = {'8', 'B', 'I', 'M', kIptcResource >> 8, kIptcResource & 0xFF, 0, 0};
    const auto size = static_cast<std::uint32_t>(metadata.iptc.size());
    for (int shift = 24; shift >= 0; shift -= 8) resource.push_back(static_cast<std::uint8_t>(size >> shift));
    resource.insert(resource.end(), metadata.iptc.begin(), metadata.iptc.end());
    if (size & 1) resource.push_back(0);
    AppendSegment(segments, kApp13, kPhotoshopHeader, resource);
  }
  return segments;
}

}  // namespace zumo
