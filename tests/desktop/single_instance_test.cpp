#include <gtest/gtest.h>

#include <QDBusConnectionInterface>

#include <memory>

#include "app/single_instance.h"
#include "private_bus.h"

namespace vantorel::testing {
namespace {

TEST(SingleInstance, TheFirstClaimWinsAndTheNameIsFreeAgainWhenItGoes) {
    PrivateBus bus;
    ASSERT_TRUE(bus.running());
    auto first = std::make_unique<SingleInstance>(bus.connect("first"));
    EXPECT_EQ(first->claim(), SingleInstance::Claim::first);
    {
        const SingleInstance second(bus.connect("second"));
        EXPECT_EQ(second.claim(), SingleInstance::Claim::alreadyRunning);
    }
    EXPECT_TRUE(bus.connect("observer")
                    .interface()
                    ->isServiceRegistered(SingleInstance::kDefaultName)
                    .value())
        << "a second start must not take the name from the first";

    first.reset();
    const SingleInstance third(bus.connect("third"));
    EXPECT_EQ(third.claim(), SingleInstance::Claim::first);
}

TEST(SingleInstance, TheNameGoesWithTheConnectionOfAProcessThatEnds) {
    PrivateBus bus;
    ASSERT_TRUE(bus.running());
    {
        const SingleInstance crashed(bus.connect("crashed"));
        ASSERT_EQ(crashed.claim(), SingleInstance::Claim::first);
        QDBusConnection::disconnectFromBus(QString("crashed@%1").arg(bus.address()));
    }
    const SingleInstance next(bus.connect("next"));
    EXPECT_EQ(next.claim(), SingleInstance::Claim::first);
}

TEST(SingleInstance, WithoutABusItJustRuns) {
    {
        const SingleInstance alone(QDBusConnection::connectToBus(
            "unix:path=/nonexistent/session_bus", "vantorel-no-session"));
        EXPECT_EQ(alone.claim(), SingleInstance::Claim::noBus);
    }
    QDBusConnection::disconnectFromBus("vantorel-no-session");
}

}  // namespace
}  // namespace vantorel::testing
