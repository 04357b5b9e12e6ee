// JSON through QJsonDocument, handed on as a tree that needs no Qt.
#include "platform/json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

namespace {

JsonNode FromValue(const QJsonValue &value) {
    JsonNode node;
    switch (value.type()) {
    case QJsonValue::Bool:
        node.kind = JsonNode::Bool;
        node.boolean = value.toBool();
        break;
    case QJsonValue::Double:
        node.kind = JsonNode::Number;
        node.number = value.toDouble();
        break;
    case QJsonValue::String:
        node.kind = JsonNode::String;
        node.text = value.toString().toStdString();
        break;
    case QJsonValue::Array: {
        node.kind = JsonNode::Array;
        const QJsonArray array = value.toArray();
        node.items.reserve(static_cast<std::size_t>(array.size()));
        for (const QJsonValue &item : array)
            node.items.push_back(FromValue(item));
        break;
    }
    case QJsonValue::Object: {
        node.kind = JsonNode::Object;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            node.members.emplace_back(it.key().toStdString(), FromValue(it.value()));
        break;
    }
    default:
        break; // null and undefined
    }
    return node;
}

} // namespace

const JsonNode *JsonNode::Member(const std::string &name) const {
    if (kind != Object) return nullptr;
    for (const auto &[key, value] : members)
        if (key == name) return &value;
    return nullptr;
}

bool ParseJson(const std::string &text, JsonNode *root, std::string *why) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
    if (document.isNull()) {
        if (why) *why = error.errorString().toStdString();
        return false;
    }
    *root = document.isArray() ? FromValue(document.array()) : FromValue(document.object());
    return true;
}
