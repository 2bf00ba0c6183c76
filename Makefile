# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands a new user needs: `make run` and `make test`.
BUILD   ?= build
ARGS    ?=
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

PREFIX  ?= /usr/local

.PHONY: all configure build run test deps test-deps asan tsan install package clean pot

all: build

deps:
	@scripts/install-deps base

test-deps:
	@scripts/install-deps test

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target vorlix
	./$(BUILD)/bin/vorlix $(ARGS)

# The last line names the tests that did not run (most need root) and why.
test: test-deps build
	@cd $(BUILD) && { rm -f Testing/Temporary/LastTestsDisabled.log; ctest --output-on-failure --timeout 600; status=$$?; \
		$(CURDIR)/scripts/test-summary .; exit $$status; }

# Refreshes po/vorlix.pot from the sources and merges it into po/*.po: new
# or changed texts (a relabelled button too) come out untranslated or fuzzy,
# and `ctest -R catalogs` fails until a translator has finished them.
pot:
	scripts/update-catalogs

# `sudo make install`: the build itself runs as the owner of the clone, so
# that no file in it becomes root's.
install:
	@mkdir -p $(PREFIX) 2>/dev/null; [ -w $(PREFIX) ] || { echo "$(PREFIX) is not writable: run sudo make install"; exit 1; }
	@owner=$$(stat -c %U .); \
	if [ "$$(id -u)" -eq 0 ] && [ "$$owner" != root ]; then runuser -u "$$owner" -- $(MAKE) build; else $(MAKE) build; fi
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian packages vorlix-wipe and vorlix (and their -dbgsym), built by
# dpkg-buildpackage from a copy of the sources in $(DEB_DIR) (the files git
# knows, as they are now): it writes its results beside the tree it builds,
# which would be outside the clone.
DEB_DIR ?= build-deb
DEB_SOURCE := $(DEB_DIR)/vorlix-1.0.0
package:
	@scripts/install-deps package
	rm -rf $(DEB_SOURCE) $(DEB_DIR)/vorlix*_1.0.0-1_* && mkdir -p $(DEB_SOURCE)
	{ git ls-files -z --cached --others --exclude-standard 2>/dev/null || \
	  find . -path ./.git -prune -o -path './build*' -prune -o -type f -print0; } | \
	  tar --null --ignore-failed-read -T - -cf - | tar -xf - -C $(DEB_SOURCE)
	cd $(DEB_SOURCE) && DEB_BUILD_OPTIONS="parallel=$(JOBS) $(DEB_BUILD_OPTIONS)" dpkg-buildpackage -us -uc -b
	lintian --fail-on warning $(DEB_DIR)/vorlix_1.0.0-1_*.changes
	@ls -l $(DEB_DIR)/*.deb

# The whole suite under a sanitizer, each in its own build folder.
asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DVORLIX_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug"

tsan:
	$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DVORLIX_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug"

clean:
	rm -rf build build-asan build-tsan build-windows build-deb Vorlix-1.0.0-win64.zip Vorlix-1.0.0-setup.exe

# Windows build, cross-compiled with MinGW-w64 against a static wxWidgets that
# scripts/build-wx-msw builds once and caches outside the clone.
WIN_BUILD ?= build-windows

.PHONY: windows
windows: res/vorlix.ico
	@scripts/install-deps windows
	@prefix=$$(scripts/build-wx-msw | tail -n 1) && test -x "$$prefix/bin/wx-config" && \
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
		-DwxWidgets_CONFIG_EXECUTABLE=$$prefix/bin/wx-config -DwxWidgets_USE_STATIC=ON \
		-DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(WIN_BUILD) -j $(JOBS)
	@ls -l $(WIN_BUILD)/Vorlix.exe $(WIN_BUILD)/vorlix-wipe.exe

res/vorlix.ico: scripts/make-ico $(wildcard res/icons/vorlix-*.png)
	scripts/make-ico

# The Windows build checked under Wine on a private Xvfb display.
.PHONY: windows-check windows-zip windows-installer
windows-check: windows windows-installer
	@scripts/install-deps windows
	bash tests/windows/wine_check.sh $(WIN_BUILD)/Vorlix.exe $(WIN_BUILD)/tests/windows/vorlix_windows_tests.exe \
		$(WIN_SETUP)

WIN_SETUP := Vorlix-1.0.0-setup.exe

# The installer (per machine or per user, Start Menu, Send To, uninstaller).
windows-installer: windows
	@scripts/install-deps windows
	rm -f $(WIN_SETUP)
	makensis -V2 -INPUTCHARSET UTF8 -DEXE=$(CURDIR)/$(WIN_BUILD)/Vorlix.exe -DCLI=$(CURDIR)/$(WIN_BUILD)/vorlix-wipe.exe \
		-DLOCALE=$(CURDIR)/$(WIN_BUILD)/locale -DOUTFILE=$(CURDIR)/$(WIN_SETUP) \
		-DICON=$(CURDIR)/res/vorlix.ico -DREADME=$(CURDIR)/dist/README-windows.txt \
		-DLICENSE=$(CURDIR)/COPYING dist/windows/vorlix.nsi
	@ls -l $(WIN_SETUP)

WIN_ZIP := Vorlix-1.0.0-win64.zip

windows-zip: windows
	rm -f $(WIN_ZIP)
	zip -j -X $(WIN_ZIP) $(WIN_BUILD)/Vorlix.exe $(WIN_BUILD)/vorlix-wipe.exe dist/README-windows.txt COPYING
	cd $(WIN_BUILD) && zip -r -X $(CURDIR)/$(WIN_ZIP) locale
	unzip -l $(WIN_ZIP)
