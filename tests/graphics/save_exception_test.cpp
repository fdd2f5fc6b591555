// The graphics exceptions: every class with its exact Latin-1 text and code,
// the inheritance a handler relies on, and the error texts SaveImage leaves.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "graphics/exception.h"
#include "graphics/globals.h"
#include "graphics/save.h"
#include "save_test_support.h"

namespace {

struct ThrowCase {
  const char* name;
  // Throws the class with the message and gives back what a handler for
  // exactly that class caught (the class is a plain value without run-time
  // type information; a wrong class escapes the handler and fails the test).
  EGraphicsException (*caught)();
  const char* hex;  // the text's bytes, from Python's Latin-1 codec
};

template <class Class, GraphicsMessage message>
EGraphicsException CatchAs() {
  try {
    ThrowGraphics<Class>(message);
  } catch (const Class& e) {
    return e;
  }
}

const ThrowCase kCases[] = {
    {"EGraphicsException", CatchAs<EGraphicsException, GraphicsMessage::CreateFile>,
     "4665686C6572206265696D2045727A657567656E20646572204461746569"},
    {"EGraphicsException", CatchAs<EGraphicsException, GraphicsMessage::BadImage>,
     "556E67FC6C74696765732042696C64"},
    {"EGraphicsException", CatchAs<EGraphicsException, GraphicsMessage::Internal>,
     "496E7465726E6572204665686C6572"},
    {"EGraphicsException", CatchAs<EGraphicsException, GraphicsMessage::WriteFailed>,
     "4665686C6572206265696D2053636872656962656E"},
    {"EGraphicsAbort", CatchAs<EGraphicsAbort, GraphicsMessage::Abort>,
     "42656E75747A65722041626272756368"},
    {"ETlsFileOpenError", CatchAs<ETlsFileOpenError, GraphicsMessage::TlsFileOpen>,
     "4665686C6572206265696D20D666666E656E2064657220444F5A2D44617465692021"},
    {"ETlsDataError", CatchAs<ETlsDataError, GraphicsMessage::DataError>,
     "46616C736368652042696C642D446174656E2021"},
    {"ETlsCorruptFile", CatchAs<ETlsCorruptFile, GraphicsMessage::TlsCorrupt>,
     "4265736368E4646967746520444F5A2D44617465692021"},
    {"ETlsFileWriteError", CatchAs<ETlsFileWriteError, GraphicsMessage::TlsFileWrite>,
     "4665686C6572206265696D2053636872656962656E20444F5A2D44617465692021"},
    {"ETlsCrcError", CatchAs<ETlsCrcError, GraphicsMessage::TlsCrc>,
     "46616C73636865204352432D53756D6D652021"},
    {"ETlsUnknownError", CatchAs<ETlsUnknownError, GraphicsMessage::TlsUnknown>,
     "4665686C6572206265696D20556E6B6E6F776E204572726F72"},
    {"ETlsNotFound", CatchAs<ETlsNotFound, GraphicsMessage::TlsNotFound>,
     "4461732042696C6420777572646520696E206465722053657175656E7A206E6963687420676566756E64656E202"
     "1"},
    {"ETlsNotATlsFile", CatchAs<ETlsNotATlsFile, GraphicsMessage::TlsNotATlsFile>,
     "44696520446174656920697374206B65696E6520444F5A2D44617465692021"},
    {"ETlsFileReadError", CatchAs<ETlsFileReadError, GraphicsMessage::TlsFileRead>,
     "4665686C6572206265696D204C6573656E2064657220444F5A2D44617465692021"},
    {"EEpsFileOpenError", CatchAs<EEpsFileOpenError, GraphicsMessage::EpsFileOpen>,
     "4665686C6572206265696D20D666666E656E20646572204550532D44617465692021"},
    {"EEpsFileWriteError", CatchAs<EEpsFileWriteError, GraphicsMessage::EpsFileWrite>,
     "4665686C6572206265696D2053636872656962656E204550532D44617465692021"},
    {"EEpsDataError", CatchAs<EEpsDataError, GraphicsMessage::DataError>,
     "46616C736368652042696C642D446174656E2021"},
    {"EPnmFileOpenError", CatchAs<EPnmFileOpenError, GraphicsMessage::PnmFileOpen>,
     "4665686C6572206265696D20D666666E656E2064657220504E4D2D44617465692021"},
    {"EPnmFileWriteError", CatchAs<EPnmFileWriteError, GraphicsMessage::PnmFileWrite>,
     "4665686C6572206265696D2053636872656962656E20504E4D2D44617465692021"},
    {"EPnmDataError", CatchAs<EPnmDataError, GraphicsMessage::DataError>,
     "46616C736368652042696C642D446174656E2021"},
    {"EXwdFileOpenError", CatchAs<EXwdFileOpenError, GraphicsMessage::XwdFileOpen>,
     "4665686C6572206265696D20D666666E656E20646572205857442D44617465692021"},
    {"EXwdFileWriteError", CatchAs<EXwdFileWriteError, GraphicsMessage::XwdFileWrite>,
     "4665686C6572206265696D2053636872656962656E205857442D44617465692021"},
    {"EXwdDataError", CatchAs<EXwdDataError, GraphicsMessage::DataError>,
     "46616C736368652042696C642D446174656E2021"},
    {"EXpmError", CatchAs<EXpmError, GraphicsMessage::XpmCreateFile>,
     "4665686C6572206265696D2045727A657567656E206465722044617465696F"},
    {"EXpmError", CatchAs<EXpmError, GraphicsMessage::CannotHandle>,
     "4B616E6E20466F726D6174206E6963687420766572617262656974656E"},
    {"EXpmError", CatchAs<EXpmError, GraphicsMessage::XpmWrite>,
     "4665686C6572206265696D2053636872656962656E20696E20646965204461746569"},
    {"ETiffError", CatchAs<ETiffError, GraphicsMessage::CreateFile>,
     "4665686C6572206265696D2045727A657567656E20646572204461746569"},
    {"ETiffError", CatchAs<ETiffError, GraphicsMessage::WriteFailed>,
     "4665686C6572206265696D2053636872656962656E"},
    {"ETiffError", CatchAs<ETiffError, GraphicsMessage::TiffModeNotSupported>,
     "4D6F64757320697374206E6963687420756E7465727374FC747A74"},
    {"ETiffError", CatchAs<ETiffError, GraphicsMessage::TiffEmptyImage>,
     "4C65657265732042696C6420FC626572676562656E"},
    {"EGifError", CatchAs<EGifError, GraphicsMessage::CreateFile>,
     "4665686C6572206265696D2045727A657567656E20646572204461746569"},
    {"EGifError", CatchAs<EGifError, GraphicsMessage::GifNoImages>,
     "45732077757264656E206B65696E652042696C64657220616E6765676562656E"},
    {"EGifError", CatchAs<EGifError, GraphicsMessage::CannotHandle>,
     "4B616E6E20466F726D6174206E6963687420766572617262656974656E"},
    {"EGifError", CatchAs<EGifError, GraphicsMessage::GifImageMissing>,
     "45696E2042696C64204665686C7420696E20646572204C69737465"},
    {"EGifError", CatchAs<EGifError, GraphicsMessage::GifImageEmpty>,
     "4461732042696C7320697374206C656572"},
    {"EBmpFileOpenError", CatchAs<EBmpFileOpenError, GraphicsMessage::BmpFileOpen>,
     "4665686C6572206265696D20D666666E656E2064657220424D502D44617465692021"},
    {"EBmpFileWriteError", CatchAs<EBmpFileWriteError, GraphicsMessage::BmpFileWrite>,
     "4665686C6572206265696D2053636872656962656E20424D502D44617465692021"},
    {"EBmpNotSupported", CatchAs<EBmpNotSupported, GraphicsMessage::BmpNotSupported>,
     "44617320466F726D61742064657220424D502D44617465692077697264206E6963687420756E7465727374FC747A7"
     "42021"},
    {"EBmpDataError", CatchAs<EBmpDataError, GraphicsMessage::DataError>,
     "46616C736368652042696C642D446174656E2021"},
    {"EJpegOpenError", CatchAs<EJpegOpenError, GraphicsMessage::JpegOpen>,
     "4665686C6572206265696D20D666666E656E206465722044617465692021"},
    {"EJpegError", CatchAs<EJpegError, GraphicsMessage::DataError>,
     "46616C736368652042696C642D446174656E2021"},
    {"EJpegBadData", CatchAs<EJpegBadData, GraphicsMessage::DataError>,
     "46616C736368652042696C642D446174656E2021"},
};

TEST(GraphicsException, EveryClassCarriesItsExactTextAndCode) {
  for (const ThrowCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const EGraphicsException e = c.caught();
    const size_t n = std::strlen(c.hex) / 2;
    EXPECT_EQ(savetest::Hex(e.text, n), c.hex);
    for (size_t i = n; i < sizeof e.text; ++i) ASSERT_EQ(e.text[i], 0) << i;
    EXPECT_EQ(e.code, std::string(c.name) == "EGraphicsAbort" ? 1u : 0u);
  }
}

TEST(GraphicsException, ThirtyClassesDeriveFromTheBase) {
  // Each class once; the table above names every one.
  std::set<std::string> names;
  for (const ThrowCase& c : kCases) names.insert(c.name);
  EXPECT_EQ(names.size(), 30u);
  EXPECT_EQ(sizeof(EGraphicsException), 260u);
}

TEST(GraphicsException, BadJpegDataIsAJpegError) {
  try {
    ThrowGraphics<EJpegBadData>(GraphicsMessage::DataError);
  } catch (const EJpegError& e) {
    EXPECT_STREQ(e.text, "Falsche Bild-Daten !");
    return;
  } catch (...) {
  }
  ADD_FAILURE() << "EJpegBadData not caught as EJpegError";
}

TEST(GraphicsException, NotSupportedIsCaughtAsTheBase) {
  try {
    ThrowGraphics<EBmpNotSupported>(GraphicsMessage::BmpNotSupported);
  } catch (const EGraphicsException& e) {
    EXPECT_EQ(savetest::Hex(e.text, 50),
              "44617320466F726D61742064657220424D502D44617465692077697264206E6963687420"
              "756E7465727374FC747A74202100");
  }
}

TEST(GraphicsException, MessageIsCutAt256CharactersWithoutTerminator) {
  const std::string longText(300, 'x');
  const EGraphicsException e(longText.c_str(), 7);
  EXPECT_EQ(std::string(e.text, sizeof e.text), std::string(256, 'x'));
  EXPECT_EQ(e.code, 7u);
  const EGraphicsException copy = e;
  EXPECT_EQ(std::memcmp(&copy, &e, sizeof e), 0);

  // The error text takes exactly the 256 characters and stays terminated.
  std::memset(GraphicsErrorText, 'z', sizeof GraphicsErrorText);
  SetGraphicsErrorText(e.text, int(sizeof e.text));
  EXPECT_EQ(std::strlen(GraphicsErrorText), 256u);
  for (size_t i = 256; i < sizeof GraphicsErrorText; ++i) ASSERT_EQ(GraphicsErrorText[i], 0);
  EXPECT_EQ(sizeof GraphicsErrorText, 513u);
}

TEST(GraphicsException, SaveImageTextsForUnknownFormatAndError) {
  CGraphicsImage image;
  ASSERT_TRUE(image.Create(24, 2, 2, 0, nullptr));
  std::memset(GraphicsErrorText, 'z', sizeof GraphicsErrorText);
  EXPECT_EQ(SaveImage("picture.tls", image, nullptr), -2);
  EXPECT_EQ(savetest::Hex(GraphicsErrorText, 26),
            "556E62656B616E6E74657320446174656920466F726D61742E00");
  for (size_t i = 25; i < sizeof GraphicsErrorText; ++i) ASSERT_EQ(GraphicsErrorText[i], 0);
  EXPECT_STREQ(GraphicsMessageText(GraphicsMessage::UnknownError), "Unbekannter Fehler");
  EXPECT_EQ(savetest::Hex(GraphicsMessageText(GraphicsMessage::UnknownError), 18),
            "556E62656B616E6E746572204665686C6572");
}

}  // namespace
