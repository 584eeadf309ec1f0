// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xls/XlsCodepage.h"

#include "automation/readers/xls/BiffRecordStream.h"

#include <QByteArray>
#include <QString>
#include <QTextCodec>

namespace automation::readers::xls {

namespace {

const char *codecName(uint16_t codepage) {
    switch (codepage) {
        case 367:
            return "US-ASCII";
        case 437:
            return "IBM437";
        case 850:
            return "IBM850";
        case 866:
            return "IBM866";
        case 874:
            return "windows-874";
        case 932:
            return "Shift_JIS";
        case 936:
            return "GBK";
        case 949:
            return "windows-949";
        case 950:
            return "Big5";
        case 1250:
            return "windows-1250";
        case 1251:
            return "windows-1251";
        case 1252:
            return "windows-1252";
        case 1253:
            return "windows-1253";
        case 1254:
            return "windows-1254";
        case 1255:
            return "windows-1255";
        case 1256:
            return "windows-1256";
        case 1257:
            return "windows-1257";
        case 1258:
            return "windows-1258";
        case 10000:
            return "macintosh";
        case 32768:
            return "macintosh";
        case 32769:
            return "windows-1252";
        default:
            return nullptr;
    }
}

}  // namespace

void XlsCodepage::select(uint16_t codepage) {
    codepage_ = codepage;
    const char *name = codecName(codepage);
    codec_ = name ? QTextCodec::codecForName(name) : nullptr;
    if (!codec_) codec_ = QTextCodec::codecForName(codecName(kWesternEuropean));
}

void XlsCodepage::appendUtf8(const uint8_t *bytes, size_t count, std::string *out) const {
    bool ascii = true;
    for (size_t i = 0; i < count && ascii; ++i) ascii = bytes[i] < 0x80;
    if (ascii) {
        out->append(reinterpret_cast<const char *>(bytes), count);
        return;
    }
    if (!codec_) {
        appendLatin1AsUtf8(bytes, count, out);
        return;
    }
    const QByteArray utf8 = codec_->toUnicode(reinterpret_cast<const char *>(bytes), static_cast<int>(count)).toUtf8();
    out->append(utf8.constData(), static_cast<size_t>(utf8.size()));
}

}  // namespace automation::readers::xls
