#include <gtest/gtest.h>

#include "TestSupport.h"
#include "qvErrors.h"
#include "qvHandles.h"
#include "uServiceManage.h"

namespace {

const char* const kTestService = "QvTestSvc";

// Registers the test service program with the prefix's service manager.
class ServiceControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager) << GetLastError();
        std::string binary = "\"" + HelperPath("qv_testsvc.exe") + "\"";
        UniqueScHandle service(CreateServiceA(manager.Get(), kTestService, kTestService, SERVICE_ALL_ACCESS,
                                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                              binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(service || GetLastError() == ERROR_SERVICE_EXISTS) << GetLastError();
        // a service just created can stay invisible for a moment under Wine
        ASSERT_TRUE(WaitUntil([] { return GetServiceState(kTestService) == SERVICE_STOPPED; }, 15000));
    }
    void TearDown() override
    {
        if (GetServiceState(kTestService) == SERVICE_RUNNING) StopServiceByName(kTestService);
        WaitUntil([] { return GetServiceState(kTestService) == SERVICE_STOPPED; }, 10000);
        UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        UniqueScHandle service(OpenServiceA(manager.Get(), kTestService, DELETE));
        if (service) DeleteService(service.Get());
    }
};

uint32_t StartErrorCode(const std::string& name)
{
    try {
        StartServiceByName(name);
    } catch (const EOSError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("System Error.  Code: " + std::to_string(e.Code) + ".\r\n", 0), 0u)
            << e.what();
        return e.Code;
    }
    return 0;
}

TEST_F(ServiceControl, StartStopAndStates)
{
    StartServiceByName(kTestService);
    ASSERT_TRUE(WaitUntil([] { return GetServiceState(kTestService) == SERVICE_RUNNING; }, 10000));
    EXPECT_EQ(StartErrorCode(kTestService), 1056u) << "starting a running service";

    StopServiceByName(kTestService);
    ASSERT_TRUE(WaitUntil([] { return GetServiceState(kTestService) == SERVICE_STOPPED; }, 10000));
    EXPECT_THROW(StopServiceByName(kTestService), EOSError) << "stopping a stopped service";
}

TEST(ServiceControlMissing, UnknownServiceGivesStateZeroAndRaises)
{
    EXPECT_EQ(GetServiceState("QvNoSuchService"), 0);
    EXPECT_EQ(StartErrorCode("QvNoSuchService"), 1060u);
    EXPECT_THROW(StopServiceByName("QvNoSuchService"), EOSError);
}

}  // namespace
