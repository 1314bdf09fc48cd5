#pragma once

// A player window on the fake desktop, answering as the test sets it.
#include "player/Winamp.h"
#include "tests/support/FakeWindows.h"

#include <QStringList>

#include <array>
#include <memory>

namespace playertest {

using platform::FakeWindows;
using platform::LRESULT;

struct PlayerModel {
    LRESULT version = 0x2900;
    LRESULT status = 0;
    LRESULT lengthSeconds = 0;
    std::array<LRESULT, 13> eq{};
};

inline FakeWindows::Answer answering(const std::shared_ptr<PlayerModel>& model)
{
    return [model](const FakeWindows::Message& m) -> LRESULT {
        if (m.msg != platform::WM_USER)
            return 0;
        switch (m.lParam) {
        case 0:
            return model->version;
        case 104:
            return model->status;
        case 105:
            return m.wParam == 1 ? model->lengthSeconds : 0;
        case 127:
            return m.wParam < model->eq.size() ? model->eq[m.wParam] : 0;
        default:
            return 0;
        }
    };
}

// A message as "send 1024 0 101", "post 1024 65 100", "copy 100 <bytes>".
inline QString describe(const FakeWindows::Message& m)
{
    switch (m.kind) {
    case FakeWindows::Kind::Sent:
        return QStringLiteral("send %1 %2 %3").arg(m.msg).arg(m.wParam).arg(m.lParam);
    case FakeWindows::Kind::Posted:
        return QStringLiteral("post %1 %2 %3").arg(m.msg).arg(m.wParam).arg(m.lParam);
    case FakeWindows::Kind::CopyData:
        break;
    }
    return QStringLiteral("copy %1 %2").arg(m.dataTag).arg(QString::fromLatin1(m.data.toHex()));
}

// Every message from index `from` on, without the version queries that
// precede the version-dependent ones.
inline QStringList describeFrom(const FakeWindows& fake, qsizetype from = 0,
                                bool withVersionQueries = false)
{
    QStringList out;
    const auto& messages = fake.messages();
    for (qsizetype i = from; i < messages.size(); ++i) {
        const auto& m = messages.at(i);
        if (!withVersionQueries && m.kind == FakeWindows::Kind::Sent &&
            m.msg == platform::WM_USER && m.lParam == 0)
            continue;
        out.append(describe(m));
    }
    return out;
}

inline qsizetype countQueries(const FakeWindows& fake, LRESULT code, qsizetype from = 0)
{
    qsizetype n = 0;
    const auto& messages = fake.messages();
    for (qsizetype i = from; i < messages.size(); ++i) {
        const auto& m = messages.at(i);
        if (m.kind == FakeWindows::Kind::Sent && m.msg == platform::WM_USER && m.lParam == code)
            ++n;
    }
    return n;
}

// Forgets the player window that an earlier test left in the state shared
// by every TWinamp: a search on an empty desktop empties it.
inline void forgetPlayerWindow()
{
    FakeWindows empty;
    const platform::WindowBackendScope scope(empty);
    TWinamp().StartWinAmp();
}

} // namespace playertest
