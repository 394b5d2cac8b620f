// The library's initialization function: findable by name, the framework
// libraries in their order, once, and again after a failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "qxinit.h"
#include "ticket2dict_msbasetask.h"

namespace {

using Strings = std::vector<std::string>;
using InitFunction = bool (*)();

TEST(Initialization, OrderOnceAndRetryAfterAFailure) {
  void* library = dlopen(T2D_CONVERTER_LIBRARY, RTLD_NOW);
  ASSERT_NE(library, nullptr) << dlerror();
  auto init = reinterpret_cast<InitFunction>(dlsym(library, "__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__"));
  ASSERT_NE(init, nullptr) << "the initialization function is exported under its plain name";
  EXPECT_EQ(init, &__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__);

  // A library that refuses stops the sequence there; the answer is false.
  qxinit::ClearCalls();
  qxinit::SetFailing("Ticket2Dict", true);
  EXPECT_FALSE(init());
  EXPECT_EQ(qxinit::Calls(), (Strings{"qxtypes", "QXMWare", "Ticket", "Ticket2Dict"}));

  // A later call tries again, from the start.
  qxinit::ClearCalls();
  qxinit::SetFailing("Ticket2Dict", false);
  EXPECT_TRUE(init());
  EXPECT_EQ(qxinit::Calls(), (Strings{"qxtypes", "QXMWare", "Ticket", "Ticket2Dict", "taskwrapper", "templatenames"}));

  // After a success the libraries are not called again.
  qxinit::ClearCalls();
  EXPECT_TRUE(init());
  EXPECT_TRUE(qxinit::Calls().empty());
  dlclose(library);
}

// Callers on several threads at once all get their answer, and the libraries
// start at most once (the thread-sanitizer build watches the state).
TEST(Initialization, SeveralThreadsStartTheLibrariesOnce) {
  qxinit::ClearCalls();
  std::vector<std::thread> callers;
  std::atomic<int> ready{0};
  for (int i = 0; i < 8; ++i)
    callers.emplace_back([&ready] {
      EXPECT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
      ++ready;
    });
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(ready, 8);
  const Strings calls = qxinit::Calls();
  EXPECT_TRUE(calls.empty() ||
              calls == Strings({"qxtypes", "QXMWare", "Ticket", "Ticket2Dict", "taskwrapper", "templatenames"}));
}

}  // namespace
