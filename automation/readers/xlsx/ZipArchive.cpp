// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/ZipArchive.h"

#include "automation/readers/xlsx/InflatePipe.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace automation::readers::xlsx {

namespace {

constexpr size_t kChunkBytes = 256 * 1024;
// From this compressed size on, a part inflates on a second thread while the
// caller scans it: one large workbook then keeps two cores busy.
constexpr uint64_t kSecondThreadFromBytes = 2u << 20;

std::string lowerAscii(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string withoutLeadingSlash(const std::string &name) {
    size_t i = 0;
    while (i < name.size() && name[i] == '/') ++i;
    return name.substr(i);
}

ReadStatus statusOfZipError(int code) {
    switch (code) {
        case ZIP_ER_NOENT:
            return ReadStatus::NotFound;
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            return ReadStatus::Unreadable;
        case ZIP_ER_NOZIP:
            return ReadStatus::NotAWorkbook;
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_ENCRNOTSUPP:
            return ReadStatus::Encrypted;
        case ZIP_ER_COMPNOTSUPP:
            return ReadStatus::Unsupported;
        case ZIP_ER_MEMORY:
            return ReadStatus::TooLarge;
        default:
            return ReadStatus::Corrupt;
    }
}

std::string zipErrorText(int code) {
    zip_error_t err;
    zip_error_init_with_code(&err, code);
    std::string text = zip_error_strerror(&err);
    zip_error_fini(&err);
    return text;
}

bool startsLikeZip(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[4] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return n == sizeof head && std::memcmp(head, "PK\x03\x04", sizeof head) == 0;
}

struct ZipFileCloser {
    void operator()(zip_file_t *f) const { zip_fclose(f); }
};

// The most a part may inflate to, whatever its directory entry declares.
uint64_t inflateBound(const zip_stat_t &st) {
    uint64_t bound = kMaxPartBytes;
    if (st.valid & ZIP_STAT_COMP_SIZE) {
        const uint64_t byRatio = std::max(kMinPartBound, st.comp_size * kMaxInflateRatio);
        if (st.comp_size < kMaxPartBytes / kMaxInflateRatio) bound = std::min(bound, byRatio);
    }
    return bound;
}

// A deflated part inflated as it is read: ISA-L's inflater streams, and
// several times faster than the zlib one libzip would use. The check value
// (the gzip CRC-32, as zip uses it) is kept on the way.
ReadStatus inflateStreamed(zip_file_t *file, const zip_stat_t &st, const std::string &name, uint64_t bound,
                           ChunkTarget &target, std::string *message) {
    auto fail = [&](ReadStatus status, const std::string &what) {
        if (message) *message = "part " + name + ": " + what;
        return status;
    };
    std::unique_ptr<inflate_state> state(new (std::nothrow) inflate_state);
    std::vector<unsigned char> in(kChunkBytes);
    if (!state) return fail(ReadStatus::TooLarge, "out of memory");
    isal_inflate_init(state.get());
    state->crc_flag = ISAL_GZIP_NO_HDR;
    uint64_t compressedLeft = st.comp_size, total = 0;
    for (;;) {
        if (state->avail_in == 0 && compressedLeft > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(compressedLeft, in.size()));
            const zip_int64_t n = zip_fread(file, in.data(), want);
            if (n <= 0) {
                const int code = zip_error_code_zip(zip_file_get_error(file));
                return fail(ReadStatus::Corrupt, n < 0 ? zipErrorText(code) : "compressed data cut short");
            }
            compressedLeft -= static_cast<uint64_t>(n);
            state->next_in = in.data();
            state->avail_in = static_cast<uint32_t>(n);
        }
        size_t room = 0;
        char *into = target.room(&room);
        room = std::min<size_t>(room, UINT32_MAX);
        state->next_out = reinterpret_cast<uint8_t *>(into);
        state->avail_out = static_cast<uint32_t>(room);
        if (isal_inflate(state.get()) != ISAL_DECOMP_OK) return fail(ReadStatus::Corrupt, "Zlib error");
        const size_t produced = room - state->avail_out;
        total += produced;
        if (total > bound) return fail(ReadStatus::TooLarge, "inflates past its bound");
        if (produced > 0 && !target.filled(produced)) return ReadStatus::Ok;
        if (state->block_state == ISAL_BLOCK_FINISH) break;
        if (produced == 0 && state->avail_in == 0 && compressedLeft == 0)
            return fail(ReadStatus::Corrupt, "compressed data cut short");
    }
    if (((st.valid & ZIP_STAT_CRC) && state->crc != st.crc) || ((st.valid & ZIP_STAT_SIZE) && total != st.size))
        return fail(ReadStatus::Corrupt, "CRC error");
    return ReadStatus::Ok;
}

}  // namespace

ZipArchive::~ZipArchive() {
    if (archive_) zip_discard(archive_);
}

ReadStatus ZipArchive::open(const std::string &path, std::string *message) {
    int code = 0;
    archive_ = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive_) {
        if (message) *message = "zip: " + zipErrorText(code);
        // A zip whose directory is gone (cut short, say) still starts like one.
        if (code == ZIP_ER_NOZIP && startsLikeZip(path)) return ReadStatus::Corrupt;
        return statusOfZipError(code);
    }
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (!name) continue;
        // The first of two same-named members wins, as most readers do.
        index_.emplace(lowerAscii(withoutLeadingSlash(name)), static_cast<uint64_t>(i));
    }
    return ReadStatus::Ok;
}

bool ZipArchive::findIndex(const std::string &name, uint64_t *index) const {
    auto it = index_.find(lowerAscii(withoutLeadingSlash(name)));
    if (it == index_.end()) return false;
    *index = it->second;
    return true;
}

bool ZipArchive::hasPart(const std::string &name) const {
    uint64_t index;
    return findIndex(name, &index);
}

uint64_t ZipArchive::inflatedSizeBound(const std::string &name) const {
    uint64_t index = 0;
    if (!archive_ || !findIndex(name, &index)) return 0;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, index, 0, &st) != 0) return 0;
    const uint64_t bound = inflateBound(st);
    return (st.valid & ZIP_STAT_SIZE) ? std::min<uint64_t>(st.size, bound) : bound;
}

ReadStatus ZipArchive::readPart(const std::string &name, const std::function<bool(const char *, size_t)> &sink,
                                std::string *message) const {
    return readPart(
        name, [&](const char *data, size_t size, const DecodedPiece *) { return sink(data, size); }, nullptr, message);
}

ReadStatus ZipArchive::readPart(const std::string &name, const PieceSink &piecesSink, PieceDecoder *ahead,
                                std::string *message) const {
    // Inflated here, blocks are decoded ahead only when a test asks for it.
    std::unique_ptr<DecodedPiece> piece;
    const bool decodeHere = ahead && decodeAhead() == DecodeAhead::Always;
    const ChunkSink sink = [&](const char *data, size_t size) {
        const bool decoded = decodeHere && ahead->decode(data, size, piece);
        return piecesSink(data, size, decoded ? piece.get() : nullptr);
    };
    uint64_t index = 0;
    if (!archive_ || !findIndex(name, &index)) {
        if (message) *message = "missing part " + name;
        return ReadStatus::Corrupt;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, index, 0, &st) != 0) {
        if (message) *message = "cannot stat part " + name;
        return ReadStatus::Corrupt;
    }
    const uint64_t bound = inflateBound(st);
    if ((st.valid & ZIP_STAT_SIZE) && st.size > bound) {
        if (message) *message = "part " + name + " declares an implausible size";
        return ReadStatus::TooLarge;
    }
    const zip_uint64_t plain = ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    const bool streamed =
        (st.valid & plain) == plain && st.comp_method == ZIP_CM_DEFLATE && st.encryption_method == ZIP_EM_NONE;
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive_, index, streamed ? ZIP_FL_COMPRESSED : 0));
    if (file && streamed) {
        const Inflater inflate = [&](ChunkTarget &into, std::string *why) {
            return inflateStreamed(file.get(), st, name, bound, into, why);
        };
        if (st.comp_size >= kSecondThreadFromBytes) return inflateOnSecondThread(inflate, piecesSink, ahead, message);
        SinkTarget here(sink, kChunkBytes);
        return inflate(here, message);
    }
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive_));
        if (message) *message = "part " + name + ": " + zipErrorText(code);
        return statusOfZipError(code);
    }
    std::vector<char> buffer(kChunkBytes);
    uint64_t total = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
        if (n < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(file.get()));
            if (message) *message = "part " + name + ": " + zipErrorText(code);
            const ReadStatus s = statusOfZipError(code);
            return s == ReadStatus::NotFound || s == ReadStatus::NotAWorkbook ? ReadStatus::Corrupt : s;
        }
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        if (total > bound) {
            if (message) *message = "part " + name + " inflates past its bound";
            return ReadStatus::TooLarge;
        }
        if (!sink(buffer.data(), static_cast<size_t>(n))) break;
    }
    return ReadStatus::Ok;
}

namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor *d) const { libdeflate_free_decompressor(d); }
};

// One per thread: parts of different workbooks are read on several threads.
libdeflate_decompressor *threadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
    return d.get();
}

}  // namespace

bool PartBuffer::reserve(size_t bytes) {
    if (bytes <= capacity_) return true;
    data_.reset();
    // The parts of one job are much of a size: room to spare keeps each
    // slightly larger one from costing a fresh allocation, all of whose
    // pages fault in again. Never past what is kept from part to part.
    const size_t spare = std::max(bytes + bytes / 4, capacity_ + capacity_ / 2);
    const size_t wanted = std::max(bytes, std::min(spare, kKeptBufferBytes));
    capacity_ = 0;
    for (const size_t size : {wanted, bytes}) {
        data_.reset(static_cast<char *>(model::allocateLarge(size)));
        if (data_) {
            capacity_ = size;
            return true;
        }
    }
    return false;
}

WholePart ZipArchive::readWholePart(const std::string &name, PartBuffer *out, size_t *size, uint64_t limit) const {
    uint64_t index = 0;
    if (!archive_ || !findIndex(name, &index)) return WholePart::UseStream;
    zip_stat_t st;
    zip_stat_init(&st);
    const zip_uint64_t needed =
        ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;
    if (zip_stat_index(archive_, index, 0, &st) != 0 || (st.valid & needed) != needed) return WholePart::UseStream;
    if (st.encryption_method != ZIP_EM_NONE || st.size > std::min(limit, kMaxWholePartBytes))
        return WholePart::UseStream;
    if (st.comp_method != ZIP_CM_DEFLATE && st.comp_method != ZIP_CM_STORE) return WholePart::UseStream;
    if (st.size > inflateBound(st)) return WholePart::UseStream;
    // Deflate adds a few bytes per 64 KiB at worst; a larger compressed size is
    // a damaged or hostile directory, and would be allocated below as given.
    if (st.comp_size > st.size + st.size / 1024 + 64) return WholePart::UseStream;
    libdeflate_decompressor *inflater = threadDecompressor();
    if (!inflater) return WholePart::UseStream;

    if (!out->reserve(static_cast<size_t>(st.size) + 1)) return WholePart::UseStream;
    const bool deflated = st.comp_method == ZIP_CM_DEFLATE;
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive_, index, deflated ? ZIP_FL_COMPRESSED : 0));
    if (!file) return WholePart::UseStream;
    if (deflated) {
        thread_local PartBuffer raw;
        const size_t rawSize = static_cast<size_t>(st.comp_size);
        if (!raw.reserve(rawSize) || zip_fread(file.get(), raw.data(), rawSize) != static_cast<zip_int64_t>(rawSize))
            return WholePart::UseStream;
        size_t actual = 0;
        const libdeflate_result r =
            libdeflate_deflate_decompress(inflater, raw.data(), rawSize, out->data(), st.size, &actual);
        if (raw.capacity() > kKeptBufferBytes) raw.release();
        if (r != LIBDEFLATE_SUCCESS || actual != st.size) return WholePart::UseStream;
    } else if (zip_fread(file.get(), out->data(), st.size) != static_cast<zip_int64_t>(st.size)) {
        return WholePart::UseStream;
    }
    if (libdeflate_crc32(0, out->data(), st.size) != st.crc) return WholePart::UseStream;
    *size = static_cast<size_t>(st.size);
    return WholePart::Read;
}

}  // namespace automation::readers::xlsx
