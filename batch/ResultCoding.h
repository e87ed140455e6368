// Turns an analysed file into CBOR and back, exactly: the same kinds, location and result
// record, with every value of the same type, so that a result read back from the result
// store is shown and exported as the fresh analysis was. The cover picture is coded apart,
// since the store keeps it in a file of its own.
#pragma once

#include <QByteArray>
#include <QCborValue>
#include <QString>
#include <optional>

#include "model/PerspixData.h"

namespace perspix {

class ResultCoding
{
public:
    struct Coded
    {
        QByteArray value; // the analysed file without its cover
        QByteArray cover; // the cover's coded value; empty when the file has none
    };

    // Nothing when a value cannot be coded (a type of no known form).
    static std::optional<Coded> encode(const PerspixData& data);
    // Nothing when the bytes are not a coded result. `cover` is the decoded cover, when
    // the file has one.
    static PerspixDataPtr decode(const QByteArray& value, const std::optional<QVariant>& cover);
    // The general record alone (without the cover), with the file's kinds and location:
    // what the summary needs, read without the rest.
    static PerspixDataPtr decodeGeneral(const QByteArray& value);
    // The sections and their export keys, and the extended tree's groups without what they
    // hold: what the export record (computeExportInfoWithoutFilePrivate) is made of.
    static PerspixDataPtr decodeForExport(const QByteArray& value);
    static std::optional<QVariant> decodeCover(const QByteArray& cover);

    static std::optional<QCborValue> encodeVariant(const QVariant& value);
    static std::optional<QVariant> decodeVariant(const QCborValue& value);
};

} // namespace perspix
