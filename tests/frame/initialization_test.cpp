// The library's initialization function: findable by name, the framework
// libraries in their order, once, and again after a failure.
#include <dlfcn.h>
#include <gtest/gtest.h>

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

}  // namespace
