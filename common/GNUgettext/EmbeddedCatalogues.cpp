// The markers of the appended catalogue table and the writer of the table.
#include "common/GNUgettext/EmbeddedCatalogues.h"

namespace embedded_catalogues {

namespace {

// One array with the prefix after both signatures: nowhere in the program's data does
// the prefix stand right before a signature.
constexpr char kMarkerParts[] = "BD7F1BE4-9FCF-4E3A-ABA7-3443D11AB362"
                                "1C58841C-D8A0-4457-BF54-D8315D4CF49D"
                                "DXG";
constexpr size_t kSignatureLength = 36;
constexpr size_t kPrefixLength = 3;

std::string Join(size_t signatureAt) {
  std::string marker(kMarkerParts + 2 * kSignatureLength, kPrefixLength);
  marker.append(kMarkerParts + signatureAt, kSignatureLength);
  return marker;
}

void PutInt64(std::string& out, std::int64_t value) {
  auto bits = static_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<char>((bits >> (8 * i)) & 0xff));
}

} // namespace

std::string BeginMarker() {
  return Join(0);
}
std::string EndMarker() {
  return Join(kSignatureLength);
}

std::string BuildTable(const std::vector<Catalogue>& catalogues) {
  std::string table = BeginMarker();
  const size_t base = table.size();
  std::vector<std::int64_t> positions;
  for (const Catalogue& c : catalogues) {
    positions.push_back(static_cast<std::int64_t>(table.size() - base));
    table += c.bytes;
  }
  const auto firstEntry = static_cast<std::int64_t>(table.size() - base);
  for (size_t i = 0; i < catalogues.size(); ++i) {
    const std::string& name = catalogues[i].name;
    auto next = static_cast<std::int64_t>(table.size() - base + 24 + name.size());
    PutInt64(table, next);
    PutInt64(table, positions[i]);
    PutInt64(table, static_cast<std::int64_t>(catalogues[i].bytes.size()));
    table += name;
  }
  PutInt64(table, 0);
  PutInt64(table, firstEntry);
  table += EndMarker();
  return table;
}

} // namespace embedded_catalogues
