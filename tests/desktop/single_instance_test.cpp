#include <gtest/gtest.h>

#include <QDBusConnectionInterface>

#include <memory>

#include "platform/dbus/single_instance.h"
#include "private_bus.h"

namespace vantorel::testing {
namespace {

using Claim = SingleInstance::Claim;

TEST(SingleInstance, TheFirstKeepsTheNameUntilItsProcessEndsHoweverItEnds) {
    PrivateBus bus;
    auto first = std::make_unique<SingleInstance>(bus.connect("first"));
    EXPECT_EQ(first->claim(), Claim::first);
    EXPECT_EQ(SingleInstance(bus.connect("second")).claim(), Claim::alreadyRunning);
    EXPECT_EQ(SingleInstance(bus.connect("third")).claim(), Claim::alreadyRunning)
        << "a second start must not take the name from the first";
    first.reset();
    {
        // The connection is closed once its last holder lets go, as when a process ends.
        const SingleInstance crashed(bus.connect("crashed"));
        ASSERT_EQ(crashed.claim(), Claim::first);
        QDBusConnection::disconnectFromBus("crashed@" + bus.address());
    }
    EXPECT_EQ(SingleInstance(bus.connect("next")).claim(), Claim::first);
    EXPECT_EQ(
        SingleInstance(QDBusConnection::connectToBus("unix:path=/nonexistent", "none")).claim(),
        Claim::noBus)
        << "without a bus it just runs";
    QDBusConnection::disconnectFromBus("none");
}

}  // namespace
}  // namespace vantorel::testing
