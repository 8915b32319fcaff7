# The link check (doc_links_test.cmake) against small trees whose faults are known: a tree whose
# links all resolve passes, and each broken link fails with the file, line and link named.
#   cmake -DVPE_WORK=<scratch folder> -P scripts/tests/doc_links_selftest.cmake
cmake_minimum_required(VERSION 3.16)

if(NOT VPE_WORK)
  message(FATAL_ERROR "usage: cmake -DVPE_WORK=<scratch folder> -P doc_links_selftest.cmake")
endif()
set(checker "${CMAKE_CURRENT_LIST_DIR}/doc_links_test.cmake")
set(failures 0)

# A tree of README.md, docs/guide.md, docs/picture.png and tools/run.sh, with `extra` appended
# to the file `extra_file`.
function(make_tree name extra_file extra)
  set(tree "${VPE_WORK}/${name}")
  file(REMOVE_RECURSE "${tree}")
  file(WRITE "${tree}/README.md" [==[
# Project

![A picture](docs/picture.png)

See [the guide](docs/guide.md), [its build section](docs/guide.md#the-msvc-abi-build-buildmsvc),
[notes](docs/guide.md#notes-a_b-cd), [the script](tools/run.sh "a title"),
[the web](https://example.com/x.md#y) and [our own section](#read-on), [again](#read-on-1),
[the second](<docs/guide.md#second-part>).

[guide]: docs/guide.md#first-part

## Read on

## Read on

Code is not checked: `[broken](nowhere.md)` and

    [broken](nowhere.md)

```

[broken](nowhere.md)
# Not a heading
```
]==])
  file(WRITE "${tree}/docs/guide.md" [==[
First part
==========

Back to the [README](../README.md#project) and [below](#second-part); a span that runs on
over two lines, `[broken](nowhere.md)
is code`, is left alone.

Second part
-----------

## The MSVC-ABI build (`build/msvc/`)

## Notes: a_b, c.d!
]==])
  file(WRITE "${tree}/docs/picture.png" "not a real picture")
  file(WRITE "${tree}/tools/run.sh" "#!/bin/sh\n")
  if(NOT extra_file STREQUAL "")
    file(APPEND "${tree}/${extra_file}" "${extra}")
  endif()
endfunction()

# Runs the check on tree `name`; it must end with `expected` (pass or fail) and, on a failure,
# print every regular expression in ARGN.
function(expect name expected)
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DVPE_ROOT=${VPE_WORK}/${name}" -P "${checker}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(text "${out}${err}")
  if(expected STREQUAL "pass" AND NOT status EQUAL 0)
    message("${name}: the check failed on a tree whose links resolve:\n${text}")
    math(EXPR failures "${failures} + 1")
  elseif(expected STREQUAL "fail" AND status EQUAL 0)
    message("${name}: the check passed a broken link:\n${text}")
    math(EXPR failures "${failures} + 1")
  else()
    foreach(pattern IN LISTS ARGN)
      if(NOT text MATCHES "${pattern}")
        message("${name}: the output does not say '${pattern}':\n${text}")
        math(EXPR failures "${failures} + 1")
      endif()
    endforeach()
  endif()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

make_tree(good "" "")
expect(good pass "11 relative link\\(s\\) in 2 document\\(s\\) resolve")

make_tree(missing_document README.md "\nThe [old guide](docs/old-guide.md).\n")
expect(missing_document fail "README.md:26: link 'docs/old-guide.md': no file docs/old-guide.md"
       "1 broken link")

make_tree(missing_anchor README.md "\n[Gone](docs/guide.md#third-part)\n")
expect(missing_anchor fail
       "README.md:26: link 'docs/guide.md#third-part': docs/guide.md has no heading with the")

make_tree(missing_own_anchor docs/guide.md "\nSee [above](#frist-part).\n")
expect(missing_own_anchor fail
       "docs/guide.md:15: link '#frist-part': docs/guide.md has no heading with the anchor")

make_tree(missing_picture README.md "\n![Gone](docs/missing.png)\n")
expect(missing_picture fail "README.md:26: link 'docs/missing.png': no file docs/missing.png")

# The third "Read on" would be read-on-2; there are two.
make_tree(repeated_heading README.md "\n[third](#read-on-2)\n")
expect(repeated_heading fail "link '#read-on-2'")

# A heading inside a fenced block is none.
make_tree(fenced_heading README.md "\n[fenced](#not-a-heading)\n")
expect(fenced_heading fail "link '#not-a-heading'")

# Relative to the linking file: from docs/, README.md is ../README.md.
make_tree(relative_to_linking_file docs/guide.md "\n[readme](README.md)\n")
expect(relative_to_linking_file fail "docs/guide.md:15: link 'README.md': no file README.md")

make_tree(anchor_on_picture README.md "\n[part](docs/picture.png#part)\n")
expect(anchor_on_picture fail "not a markdown document")

# Only the code span is code: a link after it on the same line is checked.
make_tree(after_code_span README.md "\n`[x](y.md)` and then [gone](docs/gone.md)\n")
expect(after_code_span fail "README.md:26: link 'docs/gone.md'" "1 broken link")

make_tree(link_definition README.md "\n[gone]: docs/gone.md\n")
expect(link_definition fail "README.md:26: link 'docs/gone.md'")

file(REMOVE_RECURSE "${VPE_WORK}")
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} expectation(s) of the link check failed")
endif()
message(STATUS "the link check passes a sound tree and names each of 11 broken links")
