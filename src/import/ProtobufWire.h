#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

// A reader of the protobuf wire format, for the two small messages of Anki's newest package
// layout (the package's version, the list of its media). Three fields of two messages do
// not warrant libprotobuf and a protoc build step: the wire format is published, short, and
// read here field by field, every length checked against what is left.
class ProtobufWire
{
public:
    enum class Type
    {
        Varint = 0,
        Fixed64 = 1,
        Bytes = 2,
        Fixed32 = 5
    };

    explicit ProtobufWire(QByteArrayView bytes) : m_bytes(bytes) {}

    // Moves to the next field; false at the end or on damage (see failed()).
    bool next();
    bool failed() const { return m_failed; }
    quint32 field() const { return m_field; }
    Type type() const { return m_type; }
    // The current field's value: a varint (or fixed number), or its bytes (a string, bytes
    // or an embedded message, to be read with a ProtobufWire of its own).
    quint64 number() const { return m_number; }
    QByteArrayView bytes() const { return m_value; }

private:
    bool readVarint(quint64* value);

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    bool m_failed = false;
    quint32 m_field = 0;
    Type m_type = Type::Varint;
    quint64 m_number = 0;
    QByteArrayView m_value;
};
