// Hand-built filter expressions for tests: an expression tree written as a CANExpr blob in the same
// layout the host's filter expression writer produces (nodes in pre-order with the root at offset 0,
// each node's literals appended to the pool when the node is written).
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "access/EngineTypes.h"
#include "host/CANExpr.h"

namespace corvane::test {

// One node: its class, operator, 16-bit words, and which words refer to child nodes or literals.
struct Expr {
    uint32_t nodeClass = host::nodeNULL;
    uint32_t op = host::canNOTDEFINED;
    std::vector<uint16_t> words;
    std::vector<size_t> childWords;
    std::vector<Expr> children;
    std::vector<size_t> literalWords;
    std::vector<std::vector<uint8_t>> literals;
};

inline Expr Node(uint32_t nodeClass, uint32_t op, std::vector<uint16_t> words) {
    Expr e;
    e.nodeClass = nodeClass;
    e.op = op;
    e.words = std::move(words);
    return e;
}

template <class T>
std::vector<uint8_t> BytesOf(const T& value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

inline Expr Field(const std::string& name, uint16_t fieldNum = 0) {
    Expr e = Node(host::nodeFIELD, host::canFIELD2, {fieldNum, 0});
    e.literalWords = {1};
    e.literals = {std::vector<uint8_t>(name.begin(), name.end())};
    e.literals[0].push_back(0);
    return e;
}

inline Expr Constant(uint16_t type, std::vector<uint8_t> bytes) {
    Expr e = Node(host::nodeCONST, host::canCONST2, {type, static_cast<uint16_t>(bytes.size()), 0});
    e.literalWords = {2};
    e.literals = {std::move(bytes)};
    return e;
}

inline Expr Str(const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return Constant(fldZSTRING, bytes);
}
inline Expr Int(int32_t v) {
    return Constant(fldINT32, BytesOf(v));
}
inline Expr Int16(int16_t v) {
    return Constant(fldINT16, BytesOf(v));
}
inline Expr UInt16(uint16_t v) {
    return Constant(fldUINT16, BytesOf(v));
}
inline Expr UInt32(uint32_t v) {
    return Constant(fldUINT32, BytesOf(v));
}
inline Expr Float(double v) {
    return Constant(fldFLOAT, BytesOf(v));
}
inline Expr Bool(bool v) {
    return Constant(fldBOOL, BytesOf(static_cast<uint16_t>(v ? 0xFFFF : 0)));
}
// A host day number (0001-01-01 is day 1).
inline Expr Date(int32_t day) {
    return Constant(fldDATE, BytesOf(day));
}
// Milliseconds since midnight.
inline Expr Time(int32_t msecs) {
    return Constant(fldTIME, BytesOf(msecs));
}
// Day number x 86 400 000 + milliseconds of the day.
inline Expr Stamp(double msecs) {
    return Constant(fldTIMESTAMP, BytesOf(msecs));
}

inline Expr Unary(uint32_t op, Expr operand) {
    Expr e = Node(host::nodeUNARY, op, {0});
    e.childWords = {0};
    e.children = {std::move(operand)};
    return e;
}

inline Expr Binary(uint32_t op, Expr left, Expr right) {
    Expr e = Node(host::nodeBINARY, op, {0, 0});
    e.childWords = {0, 1};
    e.children = {std::move(left), std::move(right)};
    return e;
}

inline Expr Compare(uint32_t op, bool caseInsensitive, uint16_t partialLength, Expr left, Expr right) {
    Expr e =
        Node(host::nodeCOMPARE, op, {static_cast<uint16_t>(caseInsensitive ? 1 : 0), partialLength, 0, 0});
    e.childWords = {2, 3};
    e.children = {std::move(left), std::move(right)};
    return e;
}

// value IN (items...): a binary canIN node whose second operand is a chain of list elements.
inline Expr In(Expr value, std::vector<Expr> items) {
    Expr list;
    for (size_t i = items.size(); i-- > 0;) {
        Expr element = Node(host::nodeLISTELEM, host::canLISTELEM2, {0, 0});
        element.childWords = {0};
        element.children = {std::move(items[i])};
        if (i + 1 < items.size()) {
            element.childWords.push_back(1);
            element.children.push_back(std::move(list));
        }
        list = std::move(element);
    }
    return Binary(host::canIN, std::move(value), std::move(list));
}

// A node of any class with literal words (no children, no literals).
inline Expr Raw(uint32_t nodeClass, uint32_t op, std::vector<uint16_t> words = {}) {
    return Node(nodeClass, op, std::move(words));
}

class BlobWriter {
public:
    std::vector<uint8_t> Build(const Expr& root) {
        fNodes.clear();
        fPool.clear();
        Put(root);
        const uint16_t nodeStart = sizeof(host::CANExpr);
        const auto literalStart = static_cast<uint16_t>(nodeStart + fNodes.size());
        const auto total = static_cast<uint16_t>(literalStart + fPool.size());
        const host::CANExpr header{host::CANEXPRVERSION, total, host::CANEXPR_NODES_UNUSED, nodeStart,
                                   literalStart};
        std::vector<uint8_t> blob = BytesOf(header);
        blob.insert(blob.end(), fNodes.begin(), fNodes.end());
        blob.insert(blob.end(), fPool.begin(), fPool.end());
        return blob;
    }

private:
    uint16_t Put(const Expr& e) {
        const size_t at = fNodes.size();
        Append(fNodes, BytesOf(e.nodeClass));
        Append(fNodes, BytesOf(e.op));
        fNodes.resize(fNodes.size() + 2 * e.words.size());
        std::vector<uint16_t> words = e.words;
        for (size_t i = 0; i < e.literals.size(); ++i) {
            words[e.literalWords[i]] = static_cast<uint16_t>(fPool.size());
            Append(fPool, e.literals[i]);
        }
        for (size_t i = 0; i < e.children.size(); ++i)
            words[e.childWords[i]] = Put(e.children[i]);
        if (!words.empty())
            std::memcpy(fNodes.data() + at + sizeof(host::CANHdr), words.data(), 2 * words.size());
        return static_cast<uint16_t>(at);
    }
    static void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
        to.insert(to.end(), bytes.begin(), bytes.end());
    }

    std::vector<uint8_t> fNodes;
    std::vector<uint8_t> fPool;
};

inline std::vector<uint8_t> Blob(const Expr& root) {
    return BlobWriter().Build(root);
}

inline const host::CANExpr* AsCANExpr(const std::vector<uint8_t>& blob) {
    return reinterpret_cast<const host::CANExpr*>(blob.data());
}

} // namespace corvane::test
