#include "ProtobufWire.h"

#include <cstring>

bool ProtobufWire::readVarint(quint64* value)
{
    quint64 result = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (m_pos >= m_bytes.size())
            return false;
        const auto byte = quint8(m_bytes[m_pos++]);
        result |= quint64(byte & 0x7F) << shift;
        if (!(byte & 0x80)) {
            *value = result;
            return true;
        }
    }
    return false; // more than ten bytes
}

bool ProtobufWire::next()
{
    if (m_failed || m_pos >= m_bytes.size())
        return false;
    quint64 key = 0;
    m_failed = true; // until the field is read whole
    if (!readVarint(&key) || (key >> 3) == 0 || (key >> 3) > 0x1FFFFFFF)
        return false;
    m_field = quint32(key >> 3);
    m_number = 0;
    m_value = QByteArrayView();
    switch (key & 7) {
    case 0:
        m_type = Type::Varint;
        if (!readVarint(&m_number))
            return false;
        break;
    case 1:
    case 5: {
        const qsizetype size = (key & 7) == 1 ? 8 : 4;
        if (m_bytes.size() - m_pos < size)
            return false;
        m_type = size == 8 ? Type::Fixed64 : Type::Fixed32;
        unsigned char little[8] = {};
        std::memcpy(little, m_bytes.data() + m_pos, size_t(size));
        for (qsizetype i = size - 1; i >= 0; --i)
            m_number = (m_number << 8) | little[i];
        m_pos += size;
        break;
    }
    case 2: {
        quint64 length = 0;
        if (!readVarint(&length) || length > quint64(m_bytes.size() - m_pos))
            return false;
        m_type = Type::Bytes;
        m_value = m_bytes.sliced(m_pos, qsizetype(length));
        m_pos += qsizetype(length);
        break;
    }
    default: // groups (long deprecated) and unknown wire types
        return false;
    }
    m_failed = false;
    return true;
}
