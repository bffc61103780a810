// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fields.h"

#include "gga.h"

namespace quorvel::nmea::fields {

std::optional<std::string_view> sentenceFields(std::string_view line, std::string_view type)
{
    line = lastSentence(line);
    if (line.size() < 7 || line.substr(3, 3) != type)
        return std::nullopt;
    // The fields end at the '*', which must be followed by the right checksum.
    // Receivers without checksums are accepted as they are.
    if (checkChecksum(line) == Checksum::Invalid)
        return std::nullopt;
    const std::string_view fields = line.substr(0, line.find('*'));
    if (fields.size() < 7)
        return std::nullopt; // the '*' stands in the sentence's name
    return fields.substr(7);
}

std::size_t splitFields(std::string_view fields, std::span<std::string_view> out)
{
    std::size_t found = 0;
    while (found < out.size()) {
        const std::size_t comma = fields.find(',');
        out[found++] = fields.substr(0, comma);
        if (comma == std::string_view::npos)
            break;
        fields.remove_prefix(comma + 1);
    }
    return found;
}

} // namespace quorvel::nmea::fields
